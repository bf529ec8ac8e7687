#include "core/session.h"

namespace core {

CurrentUser& currentUser() {
    static CurrentUser user;
    return user;
}

} // namespace core
