// Every message box of the program goes through ShowMessageBox, so that there is one place that
// picks the owner and the caption, and one place where tests answer in the operator's stead.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

class QWidget;

enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class BoxIcon { None, Information, Warning, Error, Question };
enum class BoxAnswer { Ok, Cancel, Yes, No };

struct MessageBoxRequest {
  std::string text;
  std::string caption;  // as shown: an empty caption has become the application name
  BoxButtons buttons = BoxButtons::Ok;
  BoxIcon icon = BoxIcon::None;
  bool owned = true;  // false for a box that must not depend on any window (critical errors)
};

// Shows a modal message box and returns the button the operator pressed (closing the box
// counts as Cancel where it has one, otherwise as the only or the negative button). The owner
// is the active window, else the program's main window, else none. An empty caption becomes
// "Quadrelle".
BoxAnswer ShowMessageBox(const std::string& text, const std::string& caption = std::string(),
                         BoxButtons buttons = BoxButtons::Ok, BoxIcon icon = BoxIcon::None);
// A box with no owner at all, for the critical-error path: it must show even while no window
// exists or the windows are in a bad state.
BoxAnswer ShowUnownedMessageBox(const std::string& text, const std::string& caption,
                                BoxButtons buttons = BoxButtons::Ok, BoxIcon icon = BoxIcon::None);

// How many message boxes are open (being answered) right now. Timers keep firing inside a box's
// loop: the machine poll and the job pages' ticks wait while this is above 0, so no start is
// acted on and no page switched under an open box.
int OpenMessageBoxes();

// The window that owns message boxes while no window of the program is active.
void SetMessageBoxMainWindow(QWidget* window);

// --- Test seam -------------------------------------------------------------------------------

using MessageBoxResponder = std::function<BoxAnswer(const MessageBoxRequest&)>;
// While a responder is installed no box is shown: the responder answers every request. An
// empty responder restores the real boxes. Returns the responder it replaced.
MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder responder);

// While one of these lives it answers every message box: it records each request and gives the
// queued answers in order, then `fallback` once the queue is empty.
class MessageBoxCapture {
 public:
  explicit MessageBoxCapture(BoxAnswer fallback = BoxAnswer::Ok);
  ~MessageBoxCapture();
  MessageBoxCapture(const MessageBoxCapture&) = delete;
  MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

  std::vector<MessageBoxRequest> requests;
  std::deque<BoxAnswer> answers;
  BoxAnswer fallback;

 private:
  MessageBoxResponder previous_;
};
