// Ready lesson themes for the condition box, each a script in the condition language, South
// the dealer so that a set turned to each board's dealer is bid from the dealer every time.
#pragma once

struct LessonTheme {
  const char* name;
  const char* script;
};

inline constexpr LessonTheme kLessonThemes[] = {
    {"15-17 balanced 1NT opener",
     "# South opens 1NT: 15-17 points, balanced, no five-card major\n"
     "dealer south\n"
     "nt = hcp(south) >= 15 && hcp(south) <= 17\n"
     "     && shape(south, any 4333 + any 4432 + any 5332 - 5xxx - x5xx)\n"
     "condition nt\n"},
    {"Strong 2C opener",
     "# South opens a strong 2C: 22 points or more, or 19 with at most four losers\n"
     "dealer south\n"
     "strong = hcp(south) >= 22 or (hcp(south) >= 19 and losers(south) <= 4)\n"
     "condition strong\n"},
    {"Weak two in a major",
     "# South opens a weak two: six cards in a major with two of the top five honours, 6-10 "
     "points\n"
     "dealer south\n"
     "twohearts = hearts(south) == 6 && top5(south, hearts) >= 2 && spades(south) < 4\n"
     "twospades = spades(south) == 6 && top5(south, spades) >= 2 && hearts(south) < 4\n"
     "condition hcp(south) >= 6 && hcp(south) <= 10 && (twohearts || twospades)\n"},
    {"4-4 major fit with game values",
     "# North-South have a 4-4 major fit and 25 points or more; South opens\n"
     "dealer south\n"
     "fit = (spades(north) == 4 && spades(south) == 4) || (hearts(north) == 4 && hearts(south) == "
     "4)\n"
     "condition fit && hcp(north) + hcp(south) >= 25 && hcp(south) >= 12\n"},
    {"Pre-empt at the three level",
     "# South pre-empts: a seven-card suit, no four-card suit beside it, 5-9 points\n"
     "dealer south\n"
     "seven = shape(south, any 7xxx - any 74xx)\n"
     "condition seven && hcp(south) >= 5 && hcp(south) <= 9 && controls(south) <= 3\n"},
};
