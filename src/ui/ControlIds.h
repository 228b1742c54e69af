#pragma once
// Identifiers of the dialogs, their controls, timers and the tray icon.

#include "platform/IconResources.h"

namespace velmora::ids {

// Dialog templates.
inline constexpr int MainDialog = 102;
inline constexpr int CostEditorDialog = 131;
inline constexpr int AboutDialog = 132;

// Icon resources.
inline constexpr int ProgramIcon = icons::Program;
inline constexpr int TrayIconResource = icons::TrayResource;

// Main window (102).
inline constexpr int CmdAbout = 3;
inline constexpr int CmdCostEditor = 4;
inline constexpr int CmdReset = 5;
inline constexpr int ConnectionName = 1004;
inline constexpr int DeviceType = 1005;
inline constexpr int DeviceName = 1006;
inline constexpr int IpAddress = 1010;
inline constexpr int TariffList = 1011;
inline constexpr int TimeOnline = 1012;
inline constexpr int ConnectionCost = 1013;
inline constexpr int GrandTotal = 1015;
inline constexpr int UnitLength = 1016;
inline constexpr int WarningList = 1057;
inline constexpr int ComputerName = 1059;
inline constexpr int CostLabel = 1061;
inline constexpr int TotalLabel = 1062;

// Cost editor (131).
inline constexpr int Takt = 1003;
inline constexpr int HolidayMode = 1017;
inline constexpr int WeekdayMode = 1018;
inline constexpr int WeekdayList = 1019;
inline constexpr int HolidayList = 1020;
inline constexpr int AddBand = 1025;
inline constexpr int Bis = 1026;
inline constexpr int Fee = 1027;
inline constexpr int Von = 1028;
inline constexpr int DeleteBand = 1030;
inline constexpr int FeeLabel = 1060;
inline constexpr int Monday = 1063; // .. Sunday = 1069
inline constexpr int Sunday = 1069;

// Timers and the tray icon.
inline constexpr int PollTimer = 100;
inline constexpr int UnitTimer = 200;
inline constexpr unsigned PollPeriodMs = 1000;
inline constexpr int TrayIconId = 10001;

} // namespace velmora::ids
