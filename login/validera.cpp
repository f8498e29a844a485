#include "login/validera.h"
#include "texts/text_codes.h"

#include "common/file_writing.h"
#include "common/platform.h"
#include "login/kryptera.h"
#include "session/exclusive_refusal.h"

namespace vexla {

Result<bool> isAdministrator(LoginDatabase database, const std::string& userName, const std::string& password) {
    auto db = database.engine.OpenDatabase(database.DataBas, false);
    if (!db) return db.error();
    // The encoded password holds hexadecimal digits only, so it may stand in the text.
    const std::string sql = "SELECT * FROM Users WHERE Namn = ? AND Losenord = '" + KrypteraLösenord(password) + "'";
    auto rs =
        (*db)->OpenRecordset(sql, std::vector<db::Variant>{db::Variant(std::in_place_type<std::string>, userName)});
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
    ignoreBecause((*db)->Close(), Untold::OnlyRead);
    return admitted;
}

std::string loginFailureText(const Error& e, const std::string& path, TextSource& texts) {
    if (isOpeningRefusal(e)) return describeRefusal(e, path, "", texts).box;
    return texts.TextTillAndra(txt::LoginNotChecked) + ": " + std::to_string(e.number) + "\r\n" +
           describedFileError(e, texts).description;
}

LoginCheck Validera(LoginDatabase database, MessageBoxes& messages, TextSource& texts, const std::string& userName,
                    const std::string& password) {
    auto result = isAdministrator(database, userName, password);
    if (result) return *result ? LoginCheck::Admitted : LoginCheck::Refused;
    messages.beep();
    messages.show(loginFailureText(result.error(), database.DataBas, texts), kProgramTitle, MsgIcon::Critical,
                  MsgButtons::Ok);
    return LoginCheck::Failed;
}

}  // namespace vexla
