#pragma once

// The legacy control and command ids in one place. The pages keep them on
// their controls and tests name controls by them; the numbers never change.
namespace LegacyId {

namespace Procedure {
enum : int {
    List = 1001,
    FreqEdit = 1002,
    FreqUnit = 1003,
    LevelEdit = 1004,
    LevelUnit = 1005,
    Circuit = 1006,
    Speed = 1007,
    Type = 1008,
    DelayEdit = 1009,
    FirstItem = 1010,
    FirstStd = 1011,
    FirstLow = 1012,
    FirstHigh = 1013,
    FirstUnit = 1014,
    SecondItem = 1015,
    SecondStd = 1016,
    SecondLow = 1017,
    SecondHigh = 1018,
    SecondUnit = 1019,
    Add = 1020,
    Clear = 1021,
};
} // namespace Procedure

namespace Executive {
enum : int {
    ResultTable = 1022,
    Run = 1023,
    Progress = 1024,
    EmergencyStop = 1025,
    LoopEdit = 1028,
    Lamp = 1029,
    ExportResults = 1030,
    RemoveAll = 1031,
};
} // namespace Executive

namespace Plotter {
enum : int {
    Graph = 1044,
    ResultList = 1045,
    Tabs = 1046,
    SweepKind = 1047,
    Start = 1048,
    End = 1049,
    Points = 1050,
    SweepUnit = 1051,
    FixedFrequency = 1052,
    FixedFrequencyUnit = 1053,
    FixedLevel = 1054,
    FixedLevelUnit = 1055,
    Circuit = 1056,
    Speed = 1057,
    FirstItem = 1058,
    SecondItem = 1059,
    Progress = 1060,
    Draw = 1061,
    StopReset = 1062,
    ExportSweep = 1063,
    Line1 = 1064,
    Line2 = 1065,
    Line3 = 1066,
    Line4 = 1067,
    Pointer = 1068,
    PrintMode = 1069,
    YAxisLock = 1070,
};
} // namespace Plotter

} // namespace LegacyId
