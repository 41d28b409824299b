#include "enquiry/AuthorisedUserCheck.h"

#include "enquiry/AuthorisedUser.h"
#include "enquiry/TfrmUsuarioAutorizado.h"

namespace vek::enquiry {

AuthorisationResult AuthorisedUserCheck(const std::string& groups, db::Connection& connection, OperatorDisplay& display,
                                        QWidget* parent) {
    const AuthorisedList list = BuildAuthorisedList(groups, connection);
    TfrmUsuarioAutorizado dialog(list, connection, display, parent);
    dialog.exec();
    if (dialog.authorised()) return {true, dialog.user()};
    return {};
}

} // namespace vek::enquiry
