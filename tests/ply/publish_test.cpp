// SPDX-License-Identifier: MIT
#include "publish.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/game_builder.h"
#include "tool.h"

namespace narravox::ply {
namespace {

constexpr std::string_view kTemplate =
    "<html><head><title>Narravox</title></head><body>"
    "<div id=\"loading\" role=\"status\">Narravox</div><!--narravox-game--><script>x</script>"
    "</body></html>";

TEST(PublishTest, Base64MatchesTheStandardsVectors) {
    EXPECT_EQ(Base64(""), "");
    EXPECT_EQ(Base64("f"), "Zg==");
    EXPECT_EQ(Base64("fo"), "Zm8=");
    EXPECT_EQ(Base64("foo"), "Zm9v");
    EXPECT_EQ(Base64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Base64(std::string("\xff\x00\xfe", 3)), "/wD+");
}

// A title or a readme that looks like markup must stay text: nothing in the page may end the
// game's script element early or open a tag of its own.
TEST(PublishTest, TitleAndReadmeCannotBreakOutOfThePage) {
    PublishedGame game;
    game.title = "Игра </title><script>alert(1)</script> & \"кавычки\"";
    game.commands = "CMD3";
    game.scenario = "SCR3";
    game.readme = "</script><!-- \"\\ \n\x01";
    const auto page = PublishPage(kTemplate, game);
    ASSERT_TRUE(page);
    EXPECT_NE(page->find("<title>Игра &lt;/title&gt;&lt;script&gt;alert(1)&lt;/script&gt; &amp; "
                         "&quot;кавычки&quot;</title>"),
              std::string::npos)
        << *page;
    const auto data_start = page->find("<script id=\"narravox-game\"");
    ASSERT_NE(data_start, std::string::npos);
    const auto body_start = page->find('>', data_start) + 1;
    const auto data_end = page->find("</script>", body_start);
    const std::string data = page->substr(body_start, data_end - body_start);
    EXPECT_EQ(data.find('<'), std::string::npos) << data;
    EXPECT_NE(data.find("\"commands\":\"Q01EMw==\""), std::string::npos) << data;
    EXPECT_NE(data.find("\"readme\":\"\\u003c/script\\u003e\\u003c!-- \\\"\\\\ \\n\\u0001\""),
              std::string::npos)
        << data;
    // The template's own script follows the game's.
    EXPECT_EQ(page->substr(data_end, 27), "</script><script>x</script>");
}

TEST(PublishTest, APageWithoutItsPlacesIsNoTemplate) {
    const PublishedGame game{"t", "c", "s", std::nullopt};
    EXPECT_FALSE(PublishPage("<html><title>Narravox</title></html>", game));
    const std::string twice = std::string(kTemplate) + "<!--narravox-game-->";
    EXPECT_FALSE(PublishPage(twice, game));
    const auto page = PublishPage(kTemplate, game);
    ASSERT_TRUE(page);
    EXPECT_NE(page->find("\"readme\":null"), std::string::npos);
}

TEST(PublishTest, TitleIsTheInformationsFirstLineAndReadmeTakesEitherEncoding) {
    EXPECT_EQ(TitleFromInfo("  \xc8\xe3\xf0\xe0  \nsecond"), "Игра");
    EXPECT_EQ(TitleFromInfo("\r\nsecond"), "");
    EXPECT_EQ(TitleFromInfo(""), "");
    EXPECT_EQ(ReadmeText("Прочтите"), "Прочтите");
    EXPECT_EQ(ReadmeText("\xcf\xf0\xee\xf7\xf2\xe8\xf2\xe5"), "Прочтите");
}

// The command as an author runs it: what it writes, and what it refuses without writing.
class PublishCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(folder_ / "player-template.html") << kTemplate;
        std::ofstream(folder_ / "game.nvx") << "info \"Маяк\\nвторая строка\"\n"
                                               "start Комната\narrival осмотреться\n\n"
                                               "verb осмотреться: осмотреться\n\n"
                                               "location Комната\n    object:\n"
                                               "        on осмотреться:\n"
                                               "            text \"Комната.\"\n";
    }

    int Run(std::vector<std::string> args, std::vector<std::string> places = {}) {
        out_.str("");
        err_.str("");
        return RunTool(args, out_, err_, places);
    }

    std::string Read(const std::string& name) {
        std::ifstream in(folder_ / name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    testing::TempFolder folder_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(PublishCommandTest, PublishesWithTheTemplateFoundAndTheGamesTitle) {
    std::ofstream(folder_ / "Read1st!.txt") << "Читайте меня";
    ASSERT_EQ(Run({"publish", folder_ / "game.nvx", "-o", folder_ / "game.html"},
                  {folder_ / "nowhere.html", folder_ / "player-template.html"}),
              0)
        << err_.str();
    const std::string page = Read("game.html");
    EXPECT_NE(page.find("<title>Маяк</title>"), std::string::npos) << page;
    EXPECT_NE(page.find("\"readme\":\"Читайте меня\""), std::string::npos);
    ASSERT_EQ(Run({"publish", folder_ / "game.nvx", "-o", folder_ / "game.html", "--title",
                   "Своё", "--template", folder_ / "player-template.html"}),
              0)
        << err_.str();
    EXPECT_NE(Read("game.html").find("<title>Своё</title>"), std::string::npos);
}

TEST_F(PublishCommandTest, RefusesWithoutTemplateOrWithABrokenGameAndKeepsTheOldPage) {
    std::ofstream(folder_ / "game.html") << "old";
    EXPECT_EQ(Run({"publish", folder_ / "game.nvx", "-o", folder_ / "game.html"},
                  {folder_ / "nowhere.html"}),
              1);
    EXPECT_NE(err_.str().find("player-template.html"), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find("--template"), std::string::npos) << err_.str();

    std::ofstream(folder_ / "broken.nvx") << "start Нигде\n";
    EXPECT_EQ(Run({"publish", folder_ / "broken.nvx", "-o", folder_ / "game.html", "--template",
                   folder_ / "player-template.html"}),
              1);
    EXPECT_NE(err_.str().find("broken.nvx:"), std::string::npos) << err_.str();

    // A game folder whose scenario is cut short: check's errors, and no page.
    ASSERT_EQ(Run({"build", folder_ / "game.nvx", "-o", folder_ / "built"}), 0) << err_.str();
    std::filesystem::resize_file(folder_.path() / "built" / "Scenario.ply", 10);
    EXPECT_EQ(Run({"publish", folder_ / "built", "-o", folder_ / "game.html", "--template",
                   folder_ / "player-template.html"}),
              1);
    EXPECT_NE(err_.str().find("Scenario.ply"), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find("not published"), std::string::npos) << err_.str();
    EXPECT_EQ(Read("game.html"), "old");
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "game.html.part"));
}

}  // namespace
}  // namespace narravox::ply
