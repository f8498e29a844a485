#include "login/validera.h"

#include "common/platform.h"
#include "login/kryptera.h"

namespace vexla {

Result<bool> isAdministrator(SharedDatabase shared, const std::string& userName, const std::string& password) {
    if (!shared.db) {
        auto opened = shared.engine.OpenDatabase(shared.DataBas, true);
        if (!opened) return opened.error();
        shared.db = std::move(opened.value());
    }
    // The encoded password holds hexadecimal digits only, so it may stand in the text.
    const std::string sql = "SELECT * FROM Users WHERE Namn = ? AND Losenord = '" + KrypteraLösenord(password) + "'";
    auto rs =
        shared.db->OpenRecordset(sql, std::vector<db::Variant>{db::Variant(std::in_place_type<std::string>, userName)});
    if (!rs) return rs.error();
    bool admitted = false;
    if (!(*rs)->Eof()) {
        auto field = (*rs)->Fields("GruppID");
        if (!field) return field.error();
        auto group = field->Value();
        if (!group) return group.error();
        const auto number = db::numericValue(*group);
        admitted = number && *number == 1;
    }
    (*rs)->Close();
    return admitted;
}

std::string loginFailureText(const Error& e) {
    return "Fel " + std::to_string(e.number) + " (" + e.description + ") uppstod i Function Validera i frmLogon: 0";
}

bool Validera(SharedDatabase shared, MessageBoxes& messages, const std::string& userName, const std::string& password) {
    auto result = isAdministrator(shared, userName, password);
    if (result) return *result;
    messages.show(loginFailureText(result.error()), kProgramTitle, MsgIcon::None, MsgButtons::Ok);
    return false;
}

}  // namespace vexla
