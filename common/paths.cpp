#include "common/paths.h"

#include "common/text.h"

namespace vexla {

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::optional<std::string> folderOfPath(const std::string& path, char separator) {
    const std::size_t last = path.rfind(separator);
    if (last == std::string::npos) return std::nullopt;
    return std::string(trimBlanks(std::string_view(path).substr(0, last)));
}

}  // namespace vexla
