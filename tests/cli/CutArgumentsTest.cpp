// The command line's reading of times and of "cut"'s options.
#include "cli/CutArguments.h"

#include <gtest/gtest.h>

namespace clip {
namespace {

TEST(TimeArgument, SecondsOrClockTimesFromTheFirstPicture)
{
    const std::pair<const char*, double> good[] = {
        {"0", 0.0}, {"75.5", 75.5}, {".25", 0.25}, {"01:15.5", 75.5}, {"00:01:15.500", 75.5},
        {"1:00:00", 3600.0}, {"90:00", 5400.0}, {" 12 ", 12.0}};
    for (const auto& [text, seconds] : good) {
        ASSERT_TRUE(ParseTimeArgument(text)) << text;
        EXPECT_DOUBLE_EQ(*ParseTimeArgument(text), seconds) << text;
    }
    for (const char* bad : {"", "-1", "1:60", "1:60:00", "1,5", "1e3", "12s", ":30", "1::2", "99999999999"})
        EXPECT_FALSE(ParseTimeArgument(bad)) << bad;
}

TEST(CutArguments, OptionsAndInputsAsAScriptWritesThem)
{
    auto read = [](const QStringList& arguments) { return std::get<CutArguments>(ReadCutArguments(arguments)); };
    const CutArguments full = read({"--from", "1:05", "a.mp4", "--to=150", "--smart", "mkv", "b c.mkv", "--json",
                                    "--if-not-smart", "reencode", "--output-dir", "out", "--", "-rf", "--json"});
    EXPECT_EQ(full.inputs, QStringList({"a.mp4", "b c.mkv", "-rf", "--json"}));
    EXPECT_DOUBLE_EQ(*full.from, 65.0);
    EXPECT_DOUBLE_EQ(*full.to, 150.0);
    EXPECT_TRUE(full.smart && full.json);
    EXPECT_EQ(full.smartContainer, "mkv");
    EXPECT_EQ(full.ifNotSmart, NotSmartChoice::Reencode);
    EXPECT_EQ(full.outputDir, "out");

    // A file that happens to follow --smart stays an input.
    const CutArguments smart = read({"--smart", "holiday.mov"});
    EXPECT_TRUE(smart.smartContainer.isEmpty());
    EXPECT_EQ(smart.inputs, QStringList{"holiday.mov"});
    EXPECT_EQ(read({"--preset", "General Video/H.264 (AVC) - High Quality/mp4", "x"}).preset,
              "General Video/H.264 (AVC) - High Quality/mp4");
    EXPECT_EQ(read({"x.mp4"}).ifNotSmart, NotSmartChoice::Skip);
    EXPECT_TRUE(read({"x", "--help", "--from", "zz"}).help);
    const CutArguments list = read({"--segments=l.csv", "--join", "x", "--cut-out"});
    EXPECT_TRUE(list.segmentsFile == "l.csv" && list.join && list.cutOut && !list.json);
}

TEST(CutArguments, UsageErrorsNameTheirCause)
{
    const std::pair<QStringList, const char*> bad[] = {
        {{}, "no input"},
        {{"--from", "abc", "x"}, "\"abc\" is not a time"},
        {{"--to", "5", "--from", "5", "x"}, "--to must lie after --from"},
        {{"x", "--from"}, "--from needs a value"},
        {{"--preset", "a/b/c", "--smart", "x"}, "give one of them"},
        {{"--smart=avi", "x"}, "not one of mp4, mkv, mov"},
        {{"--if-not-smart", "ask", "x"}, "not reencode or skip"},
        {{"--json=yes", "x"}, "--json takes no value"},
        {{"--frm", "1", "x"}, "unknown option --frm"},
        {{"--segments", "l.csv", "--to", "5", "x"}, "choose the part twice"},
        {{"--join", "x"}, "--join needs a segment list"},
        {{"--segments", "l.csv", "--cut-out=yes", "x"}, "--cut-out takes no value"},
    };
    for (const auto& [arguments, reason] : bad) {
        const auto result = ReadCutArguments(arguments);
        ASSERT_TRUE(std::holds_alternative<UsageError>(result)) << arguments.join(' ').toStdString();
        EXPECT_TRUE(std::get<UsageError>(result).reason.contains(reason))
            << std::get<UsageError>(result).reason.toStdString();
    }
}

}  // namespace
}  // namespace clip
