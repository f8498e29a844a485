// The check behind the login dialog: is this user name and password an
// administrator (group 1) of the booking database?
#pragma once

#include <string>

#include "common/platform/message_boxes.h"
#include "common/platform/text_source.h"
#include "db/engine.h"

namespace vexla {

// The database a login is checked against. The check opens it for a moment
// and closes it again: a login holds nothing while its dialog waits.
struct LoginDatabase {
    db::DBEngine& engine;
    const std::string& DataBas;  // the database path to open
};

// Whether userName and password are an administrator's: true when Users
// holds a row as Validera describes; the engine's error when the database
// would not answer (file missing or held by another program, no Users
// table). Shows nothing; the database is closed again either way.
Result<bool> isAdministrator(LoginDatabase database, const std::string& userName, const std::string& password);

// A check the database would not answer, as the login tells it: a database
// held by another program, missing or not one gets the exclusive-use test's
// message for `path` (describeRefusal); any other failure R9272 ": " number,
// CR LF and the description in the user's language. Never the hint about the
// name and password: the failure says nothing about them.
std::string loginFailureText(const Error& e, const std::string& path, TextSource& texts);

// What the check answered: an administrator, a refused login, or a database
// that would not answer.
enum class LoginCheck { Admitted, Refused, Failed };

// Admitted when Users holds a row whose Namn equals userName (compared as
// the engine compares text, letter case ignored) and whose Losenord is
// KrypteraLösenord(password), and the first such row has GruppID 1; Refused
// when there is no such row or its group is another. Opens the database
// exclusively for the check alone (so a holder is named as the jobs name
// it) and closes it before answering. The name is bound as a parameter, so a quote in it
// only ever matches a name with that quote. Any failure (file missing or held
// by another program, no Users table) beeps, shows loginFailureText in a
// critical box and answers Failed.
LoginCheck Validera(LoginDatabase database, MessageBoxes& messages, TextSource& texts, const std::string& userName,
                    const std::string& password);

}  // namespace vexla
