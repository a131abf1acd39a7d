#include "accountd/CgroupMount.h"

#include <vector>

namespace flowtally {

namespace {

std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    while (!line.empty()) {
        const std::size_t start = line.find_first_not_of(' ');
        if (start == std::string_view::npos)
            break;
        line.remove_prefix(start);
        const std::size_t end = line.find(' ');
        fields.push_back(line.substr(0, end));
        line.remove_prefix(end == std::string_view::npos ? line.size() : end);
    }
    return fields;
}

bool isOctal(char character) {
    return character >= '0' && character <= '7';
}

// The kernel writes space, tab, line end and backslash in a path as "\ooo".
std::string unescapeOctal(std::string_view field) {
    std::string path;
    for (std::size_t at = 0; at < field.size(); ++at) {
        if (field[at] == '\\' && field.size() - at > 3 && isOctal(field[at + 1]) &&
            isOctal(field[at + 2]) && isOctal(field[at + 3])) {
            path += static_cast<char>((field[at + 1] - '0') * 64 + (field[at + 2] - '0') * 8 +
                                      (field[at + 3] - '0'));
            at += 3;
        } else {
            path += field[at];
        }
    }
    return path;
}

} // namespace

std::optional<std::string> cgroup2MountPoint(std::string_view mountinfo) {
    while (!mountinfo.empty()) {
        const std::size_t end = mountinfo.find('\n');
        const std::string_view line = mountinfo.substr(0, end);
        mountinfo.remove_prefix(end == std::string_view::npos ? mountinfo.size() : end + 1);

        const std::vector<std::string_view> fields = fieldsOf(line);
        // The optional fields end with "-"; the file system's type follows.
        for (std::size_t index = 6; index + 1 < fields.size(); ++index) {
            if (fields[index] != "-")
                continue;
            if (fields[index + 1] == "cgroup2")
                return unescapeOctal(fields[4]);
            break;
        }
    }
    return std::nullopt;
}

} // namespace flowtally
