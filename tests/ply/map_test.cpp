// SPDX-License-Identifier: MIT
// The map of a game: what its graph shows, and `narravox-ply map` writing it or its picture.
#include "map.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/game_builder.h"
#include "tool.h"

namespace narravox::ply {
namespace {

namespace fs = std::filesystem;
namespace tb = narravox::testing;

std::string MapOf(std::string_view source) {
    const CompileResult result = Compile(source);
    for (const Finding& finding : result.findings) {
        EXPECT_NE(finding.severity, Severity::kError) << FormatFinding("game.nvx", finding);
    }
    return MapDot(result.game, MapNamesOf(result));
}

// The statement of the graph that begins with `start` (after its indentation), or empty.
std::string Line(const std::string& dot, std::string_view start) {
    std::istringstream lines(dot);
    std::string found;
    for (std::string line; std::getline(lines, line);) {
        const std::string trimmed = line.substr(line.find_first_not_of(' '));
        if (trimmed.rfind(start, 0) == 0) {
            EXPECT_EQ(found, "") << "more than one line begins with " << start;
            found = trimmed;
        }
    }
    return found;
}

bool Has(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

constexpr std::string_view kHeader =
    "start Двор\narrival осмотреть\n"
    "verb осмотреть: осмотреть\nverb север: север, с\nverb юг: юг\nverb вверх: вверх\n"
    "verb открыть: открыть\n";

TEST(MapDotTest, EveryJumpIsAnEdgeWithItsVerbsObjectAndCondition) {
    const std::string dot = MapOf(std::string(kHeader) +
                                  "location Двор\n"
                                  "    object:\n"
                                  "        on север, вверх:\n"
                                  "            jump Сад\n"
                                  "    object дверь, \"ворота\":\n"
                                  "        on открыть:\n"
                                  "            if ключ:\n"
                                  "                jump Дом\n"
                                  "            else:\n"
                                  "                set ключ\n"
                                  "location Сад \"Старый сад\"\n"
                                  "    object:\n"
                                  "        on юг:\n"
                                  "            jump Двор\n"
                                  "location Дом \"Дом\"\n"
                                  "    object:\n"
                                  "        on юг:\n"
                                  "            if not ключ:\n"
                                  "                pass\n"
                                  "            else:\n"
                                  "                jump Двор\n");
    EXPECT_EQ(dot.rfind("digraph map {\n", 0), 0u) << dot;
    EXPECT_EQ(Line(dot, "L0 -> L1 "), "L0 -> L1 [label=\"север, вверх\"];") << dot;
    EXPECT_EQ(Line(dot, "L0 -> L2 "), "L0 -> L2 [label=\"открыть «дверь»…\", style=dashed];");
    EXPECT_EQ(Line(dot, "L1 -> L0 "), "L1 -> L0 [label=\"юг\"];");
    EXPECT_EQ(Line(dot, "L2 -> L0 "), "L2 -> L0 [label=\"юг\", style=dashed];");
    // The name, and the title under it when it says something else.
    EXPECT_TRUE(Has(Line(dot, "L1 ["), "label=\"Сад\\nСтарый сад\"")) << dot;
    EXPECT_TRUE(Has(Line(dot, "L2 ["), "label=\"Дом\"")) << dot;
    // The start: a point with an arrow to it, and a double border.
    EXPECT_EQ(Line(dot, "start -> "), "start -> L0;");
    EXPECT_TRUE(Has(Line(dot, "L0 ["), "peripheries=2")) << dot;
    EXPECT_FALSE(Has(Line(dot, "L1 ["), "peripheries")) << dot;
    EXPECT_TRUE(Has(dot, "jump under a condition")) << dot;
    // Everything is reachable and nothing is a dead end here: the legend says no more.
    EXPECT_FALSE(Has(dot, "fillcolor=\"#")) << dot;
    EXPECT_FALSE(Has(dot, "dead end")) << dot;
    // The empty global location the compiler adds is left out.
    EXPECT_FALSE(Has(dot, "cluster_global")) << dot;
}

TEST(MapDotTest, UnreachableLocationsAndDeadEndsAreColouredAndExplained) {
    const std::string dot = MapOf(std::string(kHeader) +
                                  "global Везде\n"
                                  "location Везде\n"
                                  "    object:\n"
                                  "        on вверх:\n"
                                  "            jump Чердак\n"
                                  "location Двор\n"
                                  "    object:\n"
                                  "        on север:\n"
                                  "            jump Тупик\n"
                                  "        on юг:\n"
                                  "            jump Двор\n"
                                  "location Тупик\n"
                                  "    object:\n"
                                  "        on юг:\n"
                                  "            jump Тупик\n"
                                  "location Остров\n"
                                  "    object:\n"
                                  "        on юг:\n"
                                  "            jump Двор\n"
                                  "location Чердак\n"
                                  "    object:\n"
                                  "        on юг:\n"
                                  "            jump Двор\n");
    // Везде 0, Двор 1, Тупик 2, Остров 3, Чердак 4.
    const std::string global = "subgraph cluster_global {";
    ASSERT_TRUE(Has(dot, global)) << dot;
    const std::size_t cluster = dot.find(global);
    const std::size_t cluster_end = dot.find("    }\n", cluster);
    const std::string inside = dot.substr(cluster, cluster_end - cluster);
    EXPECT_TRUE(Has(inside, "apply everywhere")) << inside;
    EXPECT_TRUE(Has(inside, "L0 [label=\"Везде\", shape=component")) << inside;
    EXPECT_FALSE(Has(inside, "L1 [")) << inside;
    // The global location's jump is drawn from it, set apart in grey.
    EXPECT_EQ(Line(dot, "L0 -> L4 "),
              "L0 -> L4 [label=\"вверх\", color=\"gray50\", fontcolor=\"gray40\"];");

    const std::string unreachable = "fillcolor=\"#d9d9d9\"";
    const std::string dead_end = "fillcolor=\"#ffe699\"";
    // A jump to itself leads nowhere.
    EXPECT_TRUE(Has(Line(dot, "L2 ["), dead_end)) << dot;
    EXPECT_TRUE(Has(Line(dot, "L3 ["), unreachable)) << dot;
    // Reached only by the global location's jump, which moves nobody from elsewhere.
    EXPECT_TRUE(Has(Line(dot, "L4 ["), unreachable)) << dot;
    for (const char* plain : {"L0 [", "L1 ["}) {
        EXPECT_FALSE(Has(Line(dot, plain), unreachable)) << plain;
        EXPECT_FALSE(Has(Line(dot, plain), dead_end)) << plain;
    }
    EXPECT_TRUE(Has(dot, "BGCOLOR=\"#d9d9d9\"")) << dot;
    EXPECT_TRUE(Has(dot, "BGCOLOR=\"#ffe699\"")) << dot;
    EXPECT_FALSE(Has(dot, "jump under a condition")) << dot;
}

TEST(MapDotTest, ArrivalJumpsThatGoRoundAreRed) {
    const std::string dot = MapOf(std::string(kHeader) +
                                  "location Двор\n"
                                  "    object:\n"
                                  "        on осмотреть:\n"
                                  "            jump Сени\n"
                                  "location Сени\n"
                                  "    object:\n"
                                  "        on осмотреть:\n"
                                  "            if ключ:\n"
                                  "                jump Чулан\n"
                                  "        on север:\n"
                                  "            set ключ\n"
                                  "            jump Чулан\n"
                                  "location Чулан\n"
                                  "    object:\n"
                                  "        on осмотреть:\n"
                                  "            jump Сени\n");
    const std::string red = "color=\"#d62728\"";
    // Двор's arrival jump leads into the cycle but is no part of it.
    EXPECT_EQ(Line(dot, "L0 -> L1 "), "L0 -> L1 [label=\"осмотреть\\n(on arrival)\"];");
    EXPECT_EQ(Line(dot, "L1 -> L2 [label=\"осмотреть"),
              "L1 -> L2 [label=\"осмотреть\\n(on arrival)\", style=dashed, " + red +
                  ", fontcolor=\"#d62728\", penwidth=2];");
    EXPECT_TRUE(Has(Line(dot, "L2 -> L1 "), red)) << dot;
    // A typed command that takes the same way is no arrival.
    EXPECT_EQ(Line(dot, "L1 -> L2 [label=\"север"), "L1 -> L2 [label=\"север\"];");
    EXPECT_FALSE(Has(Line(dot, "L0 ["), red)) << dot;
    EXPECT_TRUE(Has(Line(dot, "L1 ["), red)) << dot;
    EXPECT_TRUE(Has(Line(dot, "L2 ["), red)) << dot;
    EXPECT_TRUE(Has(dot, "arrival jumps that go round in a cycle")) << dot;
}

TEST(MapDotTest, TextsAreEscapedAndTheSameGameGivesTheSameBytes) {
    const std::string dot = MapOf(std::string(kHeader) +
                                  "location Двор \"Зал \\\"Б\\\" \\\\n угол\\nвторой\\tряд\"\n"
                                  "    object \"ключ \\\"медный\\\"\":\n"
                                  "        on открыть:\n"
                                  "            jump Двор\n");
    EXPECT_TRUE(Has(Line(dot, "L0 ["), "label=\"Двор\\nЗал \\\"Б\\\" \\\\n угол\\nвторой ряд\""))
        << dot;
    EXPECT_EQ(Line(dot, "L0 -> L0 "), "L0 -> L0 [label=\"открыть «ключ \\\"медный\\\"»\"];");

    // The order of the blocks in the source changes nothing when the numbers stay.
    const std::string first =
        "location Двор = 3\n    object:\n        on север:\n"
        "            jump Сад\n"
        "        on юг:\n            jump Сад\n";
    const std::string second =
        "location Сад = 1\n    object:\n        on юг:\n"
        "            jump Двор\n";
    const std::string one = MapOf(std::string(kHeader) + first + second);
    EXPECT_EQ(one, MapOf(std::string(kHeader) + second + first));
    EXPECT_LT(one.find("L1 ["), one.find("L3 ["));
    // Jumps that go the same way alike share an arrow, a line of its label each.
    EXPECT_EQ(Line(one, "L3 -> L1 "), "L3 -> L1 [label=\"север\\nюг\"];") << one;
}

// A game read from data files has numbers instead of names: locations are shown by number and
// title, verbs by their first synonym.
TEST(MapDotTest, DataFilesGoByNumbersTitlesAndSynonyms) {
    tb::Scenario scenario;
    scenario.global = 0;
    scenario.start = 1;
    scenario.arrival = 1;
    scenario.locations = {
        {0, "", {}},
        {1, "Двор", {{{""}, {{{2}, {tb::Jump(5)}}, {{7}, {tb::Jump(9)}}}}}},
        {5, "", {{{""}, {{{2, 3}, {tb::Jump(1)}}}}}},
    };
    GameData game;
    game.scenario = tb::ToModel(scenario);
    game.vocabulary =
        tb::ToModel(std::vector<tb::VerbGroup>{{1, {"осмотреть"}}, {2, {"север", "с"}}, {3, {""}}});
    const std::string dot = MapDot(game);
    EXPECT_TRUE(Has(Line(dot, "L1 ["), "label=\"location 1\\nДвор\"")) << dot;
    EXPECT_TRUE(Has(Line(dot, "L5 ["), "label=\"location 5\"")) << dot;
    EXPECT_EQ(Line(dot, "L1 -> L5 "), "L1 -> L5 [label=\"север\"];");
    EXPECT_EQ(Line(dot, "L5 -> L1 "), "L5 -> L1 [label=\"север, verb 3\"];");
    // A jump to a location without a block still has somewhere to point.
    EXPECT_EQ(Line(dot, "L1 -> L9 "), "L1 -> L9 [label=\"verb 7\"];");
    EXPECT_TRUE(Has(Line(dot, "L9 ["), "label=\"location 9\\n(no block)\"")) << dot;
    EXPECT_TRUE(Has(Line(dot, "L9 ["), "dashed")) << dot;
}

// The command as an author runs it.
class MapCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(folder_ / "game.nvx") << kHeader
                                            << "location Двор\n    object:\n"
                                               "        on север:\n            jump Сад\n"
                                               "location Сад\n    object:\n"
                                               "        on юг:\n            jump Двор\n";
    }

    int Run(std::vector<std::string> args) {
        out_.str("");
        err_.str("");
        return RunTool(args, out_, err_);
    }

    std::string Read(const std::string& name) { return tb::ReadFile(folder_ / name); }

    bool Exists(const std::string& name) { return fs::exists(folder_.path() / name); }

    tb::TempFolder folder_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(MapCommandTest, WritesTheGraphToStandardOutputOrADotFile) {
    ASSERT_EQ(Run({"map", folder_ / "game.nvx"}), 0) << err_.str();
    const std::string dot = out_.str();
    EXPECT_EQ(Line(dot, "L0 -> L1 "), "L0 -> L1 [label=\"север\"];") << dot;
    EXPECT_FALSE(Has(err_.str(), "error")) << err_.str();

    ASSERT_EQ(Run({"map", folder_ / "game.nvx", "-o", folder_ / "map.dot"}), 0) << err_.str();
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(Read("map.dot"), dot);
    EXPECT_FALSE(Exists("map.dot.part"));

    // The same game from its data files, where names are gone.
    ASSERT_EQ(Run({"build", folder_ / "game.nvx", "-o", folder_ / "built"}), 0) << err_.str();
    ASSERT_EQ(Run({"map", folder_ / "built"}), 0) << err_.str();
    EXPECT_EQ(Line(out_.str(), "L0 -> L1 "), "L0 -> L1 [label=\"север\"];") << out_.str();
    EXPECT_TRUE(Has(Line(out_.str(), "L1 ["), "label=\"location 1\\nСад\"")) << out_.str();
}

TEST_F(MapCommandTest, RefusesBrokenGamesAndUnknownKindsWithoutWriting) {
    std::ofstream(folder_ / "map.dot") << "old";
    std::ofstream(folder_ / "broken.nvx") << "start Нигде\n";
    EXPECT_EQ(Run({"map", folder_ / "broken.nvx", "-o", folder_ / "map.dot"}), 1);
    EXPECT_TRUE(Has(err_.str(), "broken.nvx:")) << err_.str();
    EXPECT_EQ(Run({"map", folder_ / "nothing.nvx"}), 2);
    EXPECT_TRUE(Has(err_.str(), "nothing.nvx")) << err_.str();
    EXPECT_EQ(Run({"map", folder_ / "game.nvx", "-o", folder_ / "map.txt"}), 2);
    EXPECT_TRUE(Has(err_.str(), ".dot, .svg")) << err_.str();
    EXPECT_EQ(Run({"map"}), 2);
    EXPECT_EQ(Run({"map", folder_ / "game.nvx", folder_ / "game.nvx"}), 2);
    EXPECT_EQ(Read("map.dot"), "old");
    EXPECT_FALSE(Exists("map.txt"));
}

TEST_F(MapCommandTest, DrawsAPictureWithGraphviz) {
    if (!fs::exists("/usr/bin/dot")) {
        GTEST_SKIP() << "Graphviz's dot is not installed (Debian package graphviz)";
    }
    ASSERT_EQ(Run({"map", folder_ / "game.nvx", "-o", folder_ / "map.svg"}), 0) << err_.str();
    const std::string svg = Read("map.svg");
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u) << svg.substr(0, 200);
    EXPECT_TRUE(Has(svg, "<svg")) << svg.substr(0, 400);
    EXPECT_TRUE(Has(svg, "Сад")) << svg;
    EXPECT_FALSE(Exists("map.svg.part"));

    // What dot refuses is reported with its own words, and nothing is written.
    std::ostringstream err;
    EXPECT_FALSE(MapFile("digraph {", folder_.path() / "bad.svg", err));
    EXPECT_TRUE(Has(err.str(), "'dot' failed with status")) << err.str();
}

TEST_F(MapCommandTest, WithoutGraphvizAskedForAPictureWritesNothing) {
    std::ostringstream err;
    EXPECT_FALSE(
        MapFile("digraph {}", folder_.path() / "map.svg", err, "narravox-no-such-program"));
    EXPECT_TRUE(Has(err.str(), "graphviz package")) << err.str();
    EXPECT_TRUE(Has(err.str(), "-o " + (folder_ / "map.dot"))) << err.str();

    // The command itself, with a PATH on which there is no dot.
    const char* path = std::getenv("PATH");
    const std::string saved = path != nullptr ? path : "";
    fs::create_directory(folder_.path() / "empty");
    ::setenv("PATH", (folder_ / "empty").c_str(), 1);
    std::ofstream(folder_ / "map.svg") << "old";
    const int status = Run({"map", folder_ / "game.nvx", "-o", folder_ / "map.svg"});
    ::setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(status, 2);
    EXPECT_TRUE(Has(err_.str(), "graphviz package")) << err_.str();
    EXPECT_EQ(Read("map.svg"), "old");
    EXPECT_FALSE(Exists("map.svg.part"));
}

// A program that ends without reading what it is given, or never ends, must not take
// narravox-ply with it.
TEST_F(MapCommandTest, SurvivesAProgramThatStopsReadingOrHangs) {
    const auto script = [&](const std::string& name, const std::string& body) {
        std::ofstream(folder_ / name) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(folder_.path() / name, fs::perms::owner_all);
        return folder_ / name;
    };
    std::ostringstream err;
    const std::string big(4u << 20, 'x');
    EXPECT_FALSE(MapFile(big, folder_.path() / "map.svg", err, script("quit", "exit 3")));
    EXPECT_TRUE(Has(err.str(), "failed with status 3")) << err.str();

    err.str("");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(MapFile("digraph {}", folder_.path() / "map.svg", err,
                         script("hang", "exec sleep 30"), std::chrono::milliseconds(300)));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_TRUE(Has(err.str(), "took longer")) << err.str();

    err.str("");
    const auto echoed =
        MapFile("digraph {}", folder_.path() / "map.png", err, script("echo", "echo \"$1\"; cat"));
    ASSERT_TRUE(echoed) << err.str();
    EXPECT_EQ(*echoed, "-Tpng\ndigraph {}");
}

}  // namespace
}  // namespace narravox::ply
