// The owner of what a run creates on the terminal: the console (screen and
// keyboard objects) and the base list.
#pragma once

#include <memory>

#include "term/console.h"

namespace corvix {

class TBar;

// main holds the one instance for the whole run and hands it to the run flow,
// which opens the console on it and creates the base list through it. Its end, when the run
// returns to main or an IoError unwinds past it on its way there, frees the
// base list, leaves the program's screen and restores the terminal.
class TRunScope {
 public:
  TRunScope();   // becomes the current scope for the signal path
  ~TRunScope();  // Close, clearing the screen first when an exception unwinds
  TRunScope(const TRunScope&) = delete;
  TRunScope& operator=(const TRunScope&) = delete;

  // Creates the screen and keyboard objects; Screen and Keyboard point at them.
  void OpenConsole(bool utf8, const TScreenModesRec& modes);
  // A new, empty base list, owned here; Session.BaseList points at it.
  TBar& NewBaseList();
  // Frees the base list, then closes the console (see TConsole::Close).
  void Close(bool clearFirst);

 private:
  std::unique_ptr<TConsole> console_;
  std::unique_ptr<TBar> baseList_;
  TRunScope* previous_;  // the scope this one covers, current again when it ends
};

}  // namespace corvix
