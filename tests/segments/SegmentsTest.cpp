// The segment list's rules, the parts an export writes, and the CSV list.
#include "segments/SegmentCsv.h"
#include "support/SegmentSpans.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace clip {
namespace {

using test::Spans;
using test::SpansOf;

std::vector<Segment> Make(const Spans& spans)
{
    std::vector<Segment> segments;
    for (const auto& [start, end] : spans)
        segments.push_back({start, end, {}});
    return segments;
}

TEST(KeptParts, CutOutKeepsTheRestAndKeepClipsToTheVideo)
{
    struct Case {
        const char* name;
        Spans marked;
        Spans cutOut;
    };
    const Case cases[] = {
        {"first", {{0, 2}}, {{2, 10}}},
        {"last", {{7.5, 10}}, {{0, 7.5}}},
        {"middle, unsorted", {{6, 7}, {2, 3}}, {{0, 2}, {3, 6}, {7, 10}}},
        {"adjacent", {{2, 4}, {4, 6}}, {{0, 2}, {6, 10}}},
        {"the whole video", {{0, 10}}, {}},
        {"past the end", {{8, 12}}, {{0, 8}}},
        {"a sliver under a millisecond left", {{0, 9.9995}}, {}},
    };
    for (const Case& c : cases) {
        const std::vector<Segment> parts = KeptParts(Make(c.marked), SegmentMode::CutOut, 10.0);
        EXPECT_EQ(SpansOf(parts), c.cutOut) << c.name;
        for (size_t i = 0; i < parts.size(); ++i)
            EXPECT_EQ(parts[i].label, QStringLiteral("Part %1").arg(i + 1)) << c.name;
    }
    std::vector<Segment> kept = Make({{6, 12}, {1, 2}});
    kept[0].label = "b";
    const std::vector<Segment> parts = KeptParts(kept, SegmentMode::Keep, 10.0);
    EXPECT_EQ(SpansOf(parts), (Spans{{1, 2}, {6, 10}}));
    EXPECT_EQ(parts[1].label, "b");
}

TEST(SegmentList, StaysOrderedAndRefusesOverlapsLeavingItUnchanged)
{
    SegmentList list;
    QString error;
    EXPECT_EQ(list.Add({5, 6, "b"}, &error), 0);
    EXPECT_EQ(list.Add({1, 2, "a"}, &error), 0);
    EXPECT_EQ(list.Add({6, 8, "c"}, &error), 2) << "touching is not overlapping";
    const std::vector<Segment> before = list.segments();
    for (const Segment& bad : {Segment{1.5, 3, {}}, Segment{0, 10, {}}, Segment{7.9, 9, {}}, Segment{3, 3, {}}, Segment{4, 3, {}}}) {
        error.clear();
        EXPECT_EQ(list.Add(bad, &error), -1) << bad.start << "-" << bad.end;
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(list.segments(), before);
    }
    EXPECT_TRUE(list.Add({1.5, 3, {}}, &error) < 0 && error.contains("overlap"));

    // A segment may grow over its own old span, and moves to keep the order.
    EXPECT_EQ(list.Replace(0, {1, 4.5, "a"}, &error), 0);
    EXPECT_EQ(list.Replace(0, {9, 9.5, "a"}, &error), 2);
    EXPECT_EQ(SpansOf(list.segments()), (Spans{{5, 6}, {6, 8}, {9, 9.5}}));
    EXPECT_EQ(list.Replace(0, {5.5, 7, {}}, &error), -1);
    EXPECT_EQ(list.Replace(7, {20, 21, {}}, &error), -1);
    EXPECT_FALSE(list.Assign(Make({{1, 3}, {2, 4}}), &error));
    EXPECT_EQ(list.size(), 3);
    list.Remove(1);
    EXPECT_EQ(SpansOf(list.segments()), (Spans{{5, 6}, {9, 9.5}}));
}

TEST(SegmentCsv, ABadLineIsNamedAndNothingIsRead)
{
    const std::pair<const char*, int> bad[] = {
        {"1,2,a\n3,4,b,c\n", 2},              // four fields
        {"start,end,label\n\n5\n", 3},        // one field, after a header and a blank line
        {"1,2\n2,abc\n", 2},                  // not seconds
        {"1,1:30\n", 1},                      // clock times are not seconds here
        {"1e1,20\n", 1},                      // nor exponents
        {"-1,2\n", 1},                        // negative
        {"4,3\n", 1},                         // end before start
        {"1,5,\"two\nlines\"\n4,6\n", 3},     // overlap, counted after a label of two lines
        {"1,2,\"open\n", 1},                  // unclosed quote
        {"1,2,\"a\"b\n", 1},                  // text after a closing quote
    };
    for (const auto& [text, line] : bad) {
        const SegmentCsvRead read = ReadSegmentsCsv(QString::fromUtf8(text));
        EXPECT_FALSE(read.ok()) << text;
        EXPECT_EQ(read.errorLine, line) << text;
        EXPECT_TRUE(read.error.startsWith(QStringLiteral("Line %1: ").arg(line))) << read.error.toStdString();
        EXPECT_TRUE(read.segments.empty());
    }
    const SegmentCsvRead hand = ReadSegmentsCsv("\xEF\xBB\xBF" "10.5 , 20\r\n0,4.25,\"Intro, part \"\"one\"\"\"\r\n");
    ASSERT_TRUE(hand.ok()) << hand.error.toStdString();
    EXPECT_EQ(SpansOf(hand.segments), (Spans{{0, 4.25}, {10.5, 20}}));
    EXPECT_EQ(hand.segments[0].label, "Intro, part \"one\"");
}

TEST(SegmentCsv, WhatIsWrittenReadsBackTheSame)
{
    const std::vector<Segment> list = {
        {0, 1.5, "plain"}, {2.04, 3.333, "comma, \"quote\"\nnewline"}, {3.333, 10, ""}, {3600, 3601.001, "Ünïcode ✂"}};
    QTemporaryDir dir;
    const QString path = dir.filePath("list.csv");
    QString error;
    ASSERT_TRUE(WriteSegmentsCsvFile(path, list, &error)) << error.toStdString();
    const SegmentCsvRead read = ReadSegmentsCsvFile(path);
    ASSERT_TRUE(read.ok()) << read.error.toStdString();
    EXPECT_EQ(read.segments, list);
    EXPECT_FALSE(WriteSegmentsCsvFile(dir.filePath("missing/list.csv"), list, &error));
    EXPECT_TRUE(error.contains("missing/list.csv"));
    EXPECT_FALSE(ReadSegmentsCsvFile(dir.filePath("none.csv")).ok());
}

}  // namespace
}  // namespace clip
