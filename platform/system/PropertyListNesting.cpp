#include "platform/system/PropertyListNesting.h"

#include <algorithm>

namespace flowtally {

namespace {

using Text = std::string_view;

// Just past the first `marker` at or after `from`; the end when there is none.
size_t pastMarker(Text text, size_t from, Text marker) {
    const size_t at = text.find(marker, std::min(from, text.size()));
    return at == Text::npos ? text.size() : at + marker.size();
}

// The first position at or after `from` that starts `marker` or holds one of
// `stops`, outside double-quoted text; the end when there is none.
size_t findOutsideQuotes(Text text, size_t from, Text marker, Text stops = {}) {
    for (size_t at = from; at < text.size(); ++at) {
        if (text[at] == '"') {
            at = text.find('"', at + 1);
            if (at == Text::npos)
                break;
        } else if ((!marker.empty() && text.substr(at).starts_with(marker)) ||
                   stops.find(text[at]) != Text::npos) {
            return at;
        }
    }
    return text.size();
}

// The document type declaration that starts at `at` ("<!DOCTYPE"): up to
// its '>', or through an internal subset up to "]>".
size_t pastDocumentType(Text text, size_t at) {
    const size_t stop = findOutsideQuotes(text, at, {}, "[>");
    if (stop == text.size() || text[stop] == '>')
        return std::min(stop + 1, text.size());
    return std::min(findOutsideQuotes(text, stop, "]>") + 2, text.size());
}

} // namespace

bool nestsDeeperThan(Text xml, int limit) {
    int depth = 0;
    size_t at = 0;
    while ((at = xml.find('<', at)) != Text::npos) {
        const Text rest = xml.substr(at + 1);
        if (rest.starts_with("!--")) {
            at = pastMarker(xml, at + 4, "-->");
        } else if (rest.starts_with("![CDATA[")) {
            at = pastMarker(xml, at + 9, "]]>");
        } else if (rest.starts_with("?")) {
            at = std::min(findOutsideQuotes(xml, at + 1, "?>") + 2, xml.size());
        } else if (rest.starts_with("!DOCTYPE")) {
            at = pastDocumentType(xml, at + 9);
        } else {
            // A tag: the name runs to white space or an angle bracket, the
            // tag to its '>'. A '/' just before the '>' makes it empty and
            // is no part of the name.
            const size_t nameEnd = xml.find_first_of(" \r\n\t<>", at + 1);
            if (nameEnd == Text::npos)
                break;
            const size_t tagEnd =
                xml[nameEnd] == '>' ? nameEnd : findOutsideQuotes(xml, nameEnd, {}, "<>");
            if (tagEnd == xml.size() || xml[tagEnd] == '<') {
                // The reader gives up on a tag without its '>'.
                at = tagEnd;
                continue;
            }
            const bool empty = xml[tagEnd - 1] == '/';
            const Text name =
                xml.substr(at + 1, std::min(nameEnd, empty ? tagEnd - 1 : nameEnd) - (at + 1));
            if ((name == "array" || name == "dict") && !empty) {
                if (++depth > limit)
                    return true;
            } else if (name == "/array" || name == "/dict") {
                depth = std::max(depth - 1, 0);
            }
            at = tagEnd + 1;
        }
    }
    return false;
}

} // namespace flowtally
