// TRunScope: one owner for the console and the base list of a run.
#include "app/run_scope.h"

#include <exception>

#include "app/config/session.h"
#include "widgets/light_bar.h"

namespace corvix {

TRunScope::TRunScope() = default;

TRunScope::~TRunScope() { Close(std::uncaught_exceptions() > 0); }

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
