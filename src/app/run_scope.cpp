// TRunScope: one owner for the console and the base list of a run.
#include "app/run_scope.h"

#include <cstdio>
#include <exception>

#include "app/config/session.h"
#include "app/posting/posting_summary.h"
#include "app/screens/base_select.h"
#include "support/standard_output.h"
#include "term/terminal_restore.h"
#include "widgets/light_bar.h"

namespace corvix {
namespace {
// The innermost live scope, for the signal path below only: the hook it sits
// behind is a plain function without context. Null when no scope lives.
TRunScope* gCurrent = nullptr;

// A run ended by a signal where the flow cannot return to main (a key wait
// that finds the signal pending) still keeps the marks of the base list and
// tells the operator what was posted: the terminal is given back, then the
// summary. Once the scope has ended, main prints the summary itself.
void SummaryBeforeSignalEnd() {
  if (Session.BaseList != nullptr) KeepLastMarks(*Session.BaseList, false);
  if (Session.Posted.empty() || gCurrent == nullptr) return;
  gCurrent->Close(true);
  PrintStdout(PostingSummary(Session.Posted));
  FlushStdout();
}
}  // namespace

TRunScope::TRunScope() : previous_(gCurrent) {
  gCurrent = this;
  BeforeEndingBySignal = SummaryBeforeSignalEnd;
}

TRunScope::~TRunScope() {
  Close(std::uncaught_exceptions() > 0);
  gCurrent = previous_;
  if (gCurrent == nullptr) BeforeEndingBySignal = nullptr;
}

void TRunScope::OpenConsole(bool utf8, const TScreenModesRec& modes) {
  console_ = std::make_unique<TConsole>(utf8, modes);
}

TBar& TRunScope::NewBaseList() {
  baseList_ = std::make_unique<TBar>();
  Session.BaseList = baseList_.get();
  return *baseList_;
}

void TRunScope::Close(bool clearFirst) {
  if (baseList_ != nullptr) {
    Session.BaseList = nullptr;
    baseList_.reset();
  }
  if (console_ != nullptr) console_->Close(clearFirst);
  console_.reset();
}

}  // namespace corvix
