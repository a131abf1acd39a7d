#include "accountd/protocol/AccountdProtocol.h"

#include <charconv>

namespace flowtally {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int hexValue(char digit) {
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    return -1;
}

bool needsEscape(unsigned char byte) {
    return byte <= 0x20 || byte >= 0x7f || byte == '%';
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

template <typename Number> bool readNumber(std::string_view text, Number *number) {
    if (text.empty() || text.size() > 20)
        return false;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), *number);
    return failure == std::errc() && end == text.data() + text.size();
}

const char *directionWord(AccountdDirection direction) {
    return direction == AccountdDirection::In ? "in" : "out";
}

const char *peerWord(AccountdPeer peer) {
    return peer == AccountdPeer::Local ? "local" : "internet";
}

bool isStartId(std::string_view text) {
    if (text.size() != 32)
        return false;
    for (const char digit : text)
        if (!(digit >= '0' && digit <= '9') && !(digit >= 'a' && digit <= 'f'))
            return false;
    return true;
}

// The fields of a "c" or "t" line after its kind, the cgroup last for "c".
bool readCounter(const std::vector<std::string_view> &fields, bool ofCgroup,
                 AccountdCounter *counter) {
    if (fields.size() != (ofCgroup ? 8u : 7u))
        return false;
    const auto interface = unescapeAccountdField(fields[2]);
    if (!interface || !readNumber(fields[1], &counter->ifindex) ||
        !readNumber(fields[5], &counter->packets) || !readNumber(fields[6], &counter->bytes))
        return false;
    counter->interface = *interface;
    if (fields[3] == "in" || fields[3] == "out")
        counter->direction = fields[3] == "in" ? AccountdDirection::In : AccountdDirection::Out;
    else
        return false;
    if (fields[4] == "local" || fields[4] == "internet")
        counter->peer = fields[4] == "local" ? AccountdPeer::Local : AccountdPeer::Internet;
    else
        return false;
    if (!ofCgroup)
        return true;
    const auto cgroup = unescapeAccountdField(fields[7]);
    if (!cgroup || cgroup->empty())
        return false;
    counter->cgroup = *cgroup;
    return true;
}

} // namespace

std::string escapeAccountdField(std::string_view field) {
    if (field.empty())
        return "-";
    if (field == "-")
        return "%2D";
    std::string escaped;
    escaped.reserve(field.size());
    for (const char character : field) {
        const auto byte = static_cast<unsigned char>(character);
        if (needsEscape(byte)) {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0xf];
        } else {
            escaped += character;
        }
    }
    return escaped;
}

std::optional<std::string> unescapeAccountdField(std::string_view field) {
    if (field == "-")
        return std::string();
    if (field.empty())
        return std::nullopt;
    std::string plain;
    plain.reserve(field.size());
    for (std::size_t at = 0; at < field.size(); ++at) {
        const auto byte = static_cast<unsigned char>(field[at]);
        if (byte == '%') {
            if (at + 2 >= field.size())
                return std::nullopt;
            const int high = hexValue(field[at + 1]), low = hexValue(field[at + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            plain += static_cast<char>(high * 16 + low);
            at += 2;
        } else if (needsEscape(byte)) {
            return std::nullopt;
        } else {
            plain += field[at];
        }
    }
    return plain;
}

std::string accountdHeaderLine(std::string_view startId, std::uint32_t uid,
                               std::uint64_t lostPackets) {
    return "flowtally-accountd " + std::to_string(kAccountdVersion) + ' ' + std::string(startId) +
           ' ' + std::to_string(uid) + ' ' + std::to_string(lostPackets) + '\n';
}

std::string accountdPrefixLine(std::string_view prefix) {
    return "l " + escapeAccountdField(prefix) + '\n';
}

std::string accountdCounterLine(const AccountdCounter &counter) {
    std::string line = counter.cgroup.empty() ? "t " : "c ";
    line += std::to_string(counter.ifindex) + ' ' + escapeAccountdField(counter.interface) + ' ' +
            directionWord(counter.direction) + ' ' + peerWord(counter.peer) + ' ' +
            std::to_string(counter.packets) + ' ' + std::to_string(counter.bytes);
    if (!counter.cgroup.empty())
        line += ' ' + escapeAccountdField(counter.cgroup);
    return line + '\n';
}

std::string accountdEndLine(std::size_t lines) {
    return "end " + std::to_string(lines) + '\n';
}

std::string accountdErrorLine(std::string_view reason) {
    return "error " + std::to_string(kAccountdVersion) + ' ' + std::string(reason) + '\n';
}

std::optional<AccountdCounters> readAccountdAnswer(std::string_view text, std::string *error) {
    const auto fail = [error](std::string reason) {
        if (error)
            *error = std::move(reason);
        return std::nullopt;
    };
    if (text.empty() || text.back() != '\n')
        return fail("the answer ends before its last line");
    text.remove_suffix(1);
    const std::vector<std::string_view> lines = split(text, '\n');

    const std::vector<std::string_view> header = split(lines.front(), ' ');
    if (header.size() == 3 && header[0] == "error")
        return fail("the service refused: " + std::string(header[2]));
    if (header.size() < 2 || header[0] != "flowtally-accountd")
        return fail("not an answer of flowtally-accountd");
    if (header[1] != std::to_string(kAccountdVersion))
        return fail("the service speaks version " + std::string(header[1]).substr(0, 20));
    AccountdCounters counters;
    if (header.size() != 5 || !isStartId(header[2]) || !readNumber(header[3], &counters.uid) ||
        !readNumber(header[4], &counters.lostPackets))
        return fail("a malformed first line");
    counters.startId = header[2];

    for (std::size_t index = 1; index < lines.size(); ++index) {
        const std::vector<std::string_view> fields = split(lines[index], ' ');
        const std::string_view kind = fields.front();
        const auto malformed = [&] {
            return fail("a malformed line " + std::to_string(index + 1));
        };
        if (kind == "end") {
            std::size_t count = 0;
            if (fields.size() != 2 || !readNumber(fields[1], &count) || count != index ||
                index + 1 != lines.size())
                return malformed();
            return counters;
        }
        if (kind == "l") {
            const auto prefix =
                fields.size() == 2 ? unescapeAccountdField(fields[1]) : std::nullopt;
            if (!prefix)
                return malformed();
            counters.localPrefixes.push_back(*prefix);
        } else if (kind == "c" || kind == "t") {
            AccountdCounter counter;
            if (!readCounter(fields, kind == "c", &counter))
                return malformed();
            (kind == "c" ? counters.cgroups : counters.totals).push_back(std::move(counter));
        }
    }
    return fail("the answer ends before its last line");
}

} // namespace flowtally
