#include "session/damaged_file.h"
#include "texts/text_codes.h"

#include "db/errors.h"

namespace vexla {

bool isDamagedDatabase(const Error& e) {
    return e.number == db::err::Corrupt || e.number == db::err::UnrecognizedFormat;
}

Error withDamageAdvice(JobContext& ctx, Error e) {
    if (!isDamagedDatabase(e)) return e;
    e.description += "\r\n" + ctx.text(txt::HowToRescueDamaged);
    return e;
}

}  // namespace vexla
