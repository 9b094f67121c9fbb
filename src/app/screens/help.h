// F1 help: each screen names the text of its keys for as long as it runs, and
// F1 on that screen shows the text in a box until a key is pressed.
#pragma once

namespace corvix {

// The keys of each screen, lines separated by '\n'.
extern const char* const kHelpFileDialog;
extern const char* const kHelpMessageBox;
extern const char* const kHelpBaseList;
extern const char* const kHelpSaveSelection;
extern const char* const kHelpPickSelection;
extern const char* const kHelpMessageForm;
extern const char* const kHelpConfirmList;
extern const char* const kHelpPreview;
extern const char* const kHelpPosting;

// While it lives, F1 shows Text; the text of the scope it covers comes back
// when it ends (screens nest: a message box over the base list).
class THelpScope {
 public:
  explicit THelpScope(const char* text);
  ~THelpScope();
  THelpScope(const THelpScope&) = delete;
  THelpScope& operator=(const THelpScope&) = delete;

 private:
  const char* previous_;
};

// The help box: Text's lines in a framed box in the middle of the screen,
// until any key; the screen, the cursor and the attribute come back.
void ShowHelp(const char* text);

}  // namespace corvix
