#pragma once
// What every output must be, whatever the log: the fuzz target checks each against these.

#include <string_view>

// A well-formed XML 1.0 document in UTF-8 of characters XML allows: an optional declaration,
// one root element, attributes in double quotes, character data, comments and references.
bool WellFormedXml(std::string_view text);

// No "inf" or "nan" (any case) that starts a word: what printf makes of a number that is not
// finite.
bool AllFinite(std::string_view text);
