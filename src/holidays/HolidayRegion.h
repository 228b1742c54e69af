#pragma once
// Whose public holidays count: none, the nationwide ones, or one state's
// (the nationwide ones and the state's own). The choices as a settings list
// shows them, with the codes the settings file stores.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velmora {

enum class HolidayRegion : std::uint8_t {
    None,
    Nationwide,
    BW,
    BY,
    BE,
    BB,
    HB,
    HH,
    HE,
    MV,
    NI,
    NW,
    RP,
    SL,
    SN,
    ST,
    SH,
    TH,
};
inline constexpr std::size_t kHolidayRegionCount = 18;

struct HolidayChoice {
    HolidayRegion region;
    std::string_view code; // as stored in "Land"
    std::string_view name; // as a list shows it
};

// "keine", "nur bundesweite", then the 16 states by their German names, in
// alphabetical order (which is also the order of their codes above).
inline constexpr std::array<HolidayChoice, kHolidayRegionCount> kHolidayChoices{{
    {HolidayRegion::None, "", "keine"},
    {HolidayRegion::Nationwide, "DE", "nur bundesweite"},
    {HolidayRegion::BW, "BW", "Baden-Württemberg"},
    {HolidayRegion::BY, "BY", "Bayern"},
    {HolidayRegion::BE, "BE", "Berlin"},
    {HolidayRegion::BB, "BB", "Brandenburg"},
    {HolidayRegion::HB, "HB", "Bremen"},
    {HolidayRegion::HH, "HH", "Hamburg"},
    {HolidayRegion::HE, "HE", "Hessen"},
    {HolidayRegion::MV, "MV", "Mecklenburg-Vorpommern"},
    {HolidayRegion::NI, "NI", "Niedersachsen"},
    {HolidayRegion::NW, "NW", "Nordrhein-Westfalen"},
    {HolidayRegion::RP, "RP", "Rheinland-Pfalz"},
    {HolidayRegion::SL, "SL", "Saarland"},
    {HolidayRegion::SN, "SN", "Sachsen"},
    {HolidayRegion::ST, "ST", "Sachsen-Anhalt"},
    {HolidayRegion::SH, "SH", "Schleswig-Holstein"},
    {HolidayRegion::TH, "TH", "Thüringen"},
}};

// The region a stored "Land" names. Outer blanks and the letters' case do not
// matter ("by" is Bayern, as the file's own names match without regard to
// case); anything else ("XX", "B Y", "Bayern") is None, as is "".
HolidayRegion holidayRegionOf(std::string_view storedCode);
// Its index in kHolidayChoices: the row a settings list selects for a stored
// "Land" (0, "keine", for an empty or unknown one).
std::size_t holidayChoiceIndex(std::string_view storedCode);
// The code stored for a region ("" for None).
std::string_view holidayCodeOf(HolidayRegion region);

} // namespace velmora
