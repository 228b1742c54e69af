#pragma once
// Numbers as the user types them into the cost editor's "Takt" and fee fields
// and the settings window's budget.
// The stored tariff is read with "." as the decimal point; a German user types
// a comma. Only typed input is made over here: stored texts written by anyone
// else are read as they are.

#include <string>
#include <string_view>

namespace velmora {

// Blanks around the text dropped and a decimal comma made a point: "0,15" ->
// "0.15", "11,5" -> "11.5", ",5" -> "0.5". A text with a point already, or
// with more than one comma, keeps its commas.
std::string normaliseDecimalInput(std::string_view typed);

// Whether a normalised text holds a number for its reader: a unit length must
// begin with a digit, a fee with a decimal number (optionally signed).
bool readsAsUnitLength(std::string_view text);
bool readsAsFee(std::string_view text);

// What a field without a number is told, naming the field by its label:
// "Im Feld „Takt in Sek.“ steht keine Zahl. ... zum Beispiel 90 oder 11,5."
std::string noNumberMessage(std::string_view fieldName, std::string_view example);

} // namespace velmora
