#include "db/engine.h"
#include "db/errors.h"

namespace vexla::db {

const std::string& Field::Name() const { return rs_->name(index_); }
int Field::Type() const { return rs_->type(index_); }
Result<Variant> Field::Value() const { return rs_->value(index_); }
RawValue Field::Raw() const { return rs_->raw(index_); }

Result<Field> Recordset::Fields(int index) const {
    if (index < 0 || index >= FieldCount()) return itemNotFound(source::Recordset);
    return Field(*this, index);
}

Result<Field> Recordset::Fields(std::string_view name) const {
    const int index = indexOf(name);
    if (index < 0) return itemNotFound(source::Recordset);
    return Field(*this, index);
}

}  // namespace vexla::db
