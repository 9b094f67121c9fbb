// The session record of this run.
#include "app/config/session.h"

namespace corvix {

TSession Session;

}  // namespace corvix
