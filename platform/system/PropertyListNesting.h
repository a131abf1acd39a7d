#pragma once

#include <string_view>

namespace flowtally {

// Whether libplist's XML reader, given this text, would nest arrays and
// dictionaries more than `limit` levels deep. Answered from the text alone,
// before libplist builds anything: its reader builds a tree of any depth
// without recursion, but frees it recursively.
//
// The tags are paired the way that reader pairs them. No tags are seen in
// comments (up to the first "-->"), CDATA sections (up to "]]>"),
// processing instructions and the document type declaration (double-quoted
// text skipped, an internal subset up to "]>"), nor in double-quoted
// attribute values. An empty element (<array/>) nests nothing. Where the
// reader would give up on malformed text the count may go on; up to that
// point it never falls below the reader's depth, so a "no" is safe to act on.
bool nestsDeeperThan(std::string_view xml, int limit);

} // namespace flowtally
