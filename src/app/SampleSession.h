// Where the sample session lies: a new user's first "Load file" opens there, so that a fresh
// install can deal at once.
#pragma once

#include <QString>

// The folder named by $QUADRELLE_EXAMPLES_DIR (scripts/run points it at the repository's
// examples/), else share/quadrelle/examples beside the installed program in `program_dir`
// (bin/../share/...); empty text when neither folder exists.
QString SampleSessionFolder(const QString& program_dir);
