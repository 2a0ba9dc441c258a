#include "platform/uiscript/uiscript.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace uiscript {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Points ORN_UI_TRANSCRIPT at a fresh file for one test and empties the queue.
class TranscriptFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = scratch_ / "transcript.txt";
    setenv("ORN_UI_TRANSCRIPT", path_.c_str(), 1);
    AnswerQueue::Instance().Clear();
  }
  void TearDown() override {
    unsetenv("ORN_UI_TRANSCRIPT");
    AnswerQueue::Instance().Clear();
  }
  std::string Text() const { return ReadFile(path_); }
  orn_test::ScratchDir scratch_{"uiscript"};
  fs::path path_;
};

TEST(ParseScript, SplitsVerbsAndArguments) {
  auto steps = ParseScript(
      "# comment\n"
      "\n"
      "click DoOK\r\n"
      "   mousedown Page(2) 1 0 120 45.5\n"
      "drop Image1 \"/tmp/a b.tif\" /tmp/c.tif\n"
      "  # indented comment\n"
      "type Text1 \"say \\\"hi\\\" C:\\temp\\\\x\"\n"
      "close");
  ASSERT_EQ(steps.size(), 5u);
  EXPECT_EQ(steps[0].line, 3);
  EXPECT_EQ(steps[0].verb, "click");
  EXPECT_EQ(steps[0].args, std::vector<std::string>{"DoOK"});
  EXPECT_EQ(steps[1].line, 4);
  EXPECT_EQ(steps[1].args, (std::vector<std::string>{"Page(2)", "1", "0", "120", "45.5"}));
  EXPECT_EQ(steps[2].args, (std::vector<std::string>{"Image1", "/tmp/a b.tif", "/tmp/c.tif"}));
  EXPECT_EQ(steps[3].line, 7);
  EXPECT_EQ(steps[3].args, (std::vector<std::string>{"Text1", "say \"hi\" C:\\temp\\x"}));
  EXPECT_EQ(steps[4].line, 8);
  EXPECT_TRUE(steps[4].args.empty());
}

TEST(ParseScript, EmptyQuotedArgumentIsKept) {
  auto steps = ParseScript("type Text1 \"\"\n");
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].args, (std::vector<std::string>{"Text1", ""}));
}

TEST(ParseScript, MalformedQuotesNameTheLine) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"click A\ndrop X \"/tmp/a\n", "ui script line 2: unbalanced quote"},
      {"drop X \"a\"b\n", "ui script line 1: blank expected after closing quote"},
      {"\n\n\ndrop X a\"b\"\n", "ui script line 4: quote inside a word"},
  };
  for (const Case& c : cases) {
    try {
      ParseScript(c.text);
      ADD_FAILURE() << "no error for " << c.text;
    } catch (const ScriptError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(LoadScript, ReadsFileNamedByEnvironment) {
  const orn_test::ScratchDir scratch("uiscript");
  fs::path p = scratch / "load_script.txt";
  { std::ofstream(p) << "click DoOK\nclose\n"; }
  setenv("ORN_UI_SCRIPT", p.c_str(), 1);
  auto steps = LoadScriptFromEnvironment();
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[1].verb, "close");

  setenv("ORN_UI_SCRIPT", (p.string() + ".missing").c_str(), 1);
  EXPECT_THROW(LoadScriptFromEnvironment(), ScriptError);

  unsetenv("ORN_UI_SCRIPT");
  EXPECT_TRUE(LoadScriptFromEnvironment().empty());
}

TEST(Answers, NamesRoundTripAndUnknownWordsAreRejected) {
  for (Answer a : {kOk, kCancel, kAbort, kRetry, kIgnore, kYes, kNo})
    EXPECT_EQ(ParseAnswer(AnswerName(a)), a);
  EXPECT_EQ(ParseAnswer("no"), kNo);
  EXPECT_EQ(ParseAnswer("yess"), std::nullopt);
  EXPECT_EQ(ParseAnswer("Yes"), std::nullopt);
}

TEST(SharedStep, AnswerQueuesAndOtherVerbsPass) {
  AnswerQueue::Instance().Clear();
  EXPECT_TRUE(RunSharedStep({1, "answer", {"no"}}));
  EXPECT_TRUE(RunSharedStep({2, "answer", {"retry"}}));
  EXPECT_FALSE(RunSharedStep({3, "click", {"DoOK"}}));
  EXPECT_EQ(AnswerQueue::Instance().Take(), kNo);
  EXPECT_EQ(AnswerQueue::Instance().Take(), kRetry);
  EXPECT_EQ(AnswerQueue::Instance().Take(), std::nullopt);

  try {
    RunSharedStep({7, "answer", {"maybe"}});
    ADD_FAILURE();
  } catch (const ScriptError& e) {
    EXPECT_STREQ(e.what(), "ui script line 7: unknown answer 'maybe'");
  }
  EXPECT_THROW(RunSharedStep({8, "answer", {}}), ScriptError);
  EXPECT_THROW(RunSharedStep({9, "answer", {"yes", "no"}}), ScriptError);
}

// Boxes shown on several threads at once: every queued answer is taken by
// exactly one box, the boxes beyond them take their default.
TEST(SharedStep, BoxesOnEightThreadsTakeEachQueuedAnswerOnce) {
  unsetenv("ORN_UI_TRANSCRIPT");
  AnswerQueue::Instance().Clear();
  for (int i = 0; i < 4000; ++i) AnswerQueue::Instance().Push(kCancel);
  std::atomic<int> queued{0}, defaults{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 600; ++i) ++(MessageBox("text", kOkCancel, "caption") == kCancel ? queued : defaults);
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(queued, 4000);
  EXPECT_EQ(defaults, 800);
  EXPECT_EQ(AnswerQueue::Instance().Take(), std::nullopt);
}

using MessageBoxTest = TranscriptFile;

TEST_F(MessageBoxTest, DefaultButtonWithoutQueuedAnswer) {
  struct Case {
    int32_t style;
    Answer expected;
  } cases[] = {
      {kOkOnly, kOk},
      {kOkCancel | kDefaultButton2, kCancel},
      {kYesNo | kIconQuestion, kYes},
      {kYesNo | kDefaultButton2, kNo},
      {kYesNoCancel | kDefaultButton3, kCancel},
      {kAbortRetryIgnore | kDefaultButton2, kRetry},
      {kRetryCancel, kRetry},
      {kYesNo | kDefaultButton3, kYes},  // beyond the buttons: the first one
  };
  std::string expected;
  for (const Case& c : cases) {
    EXPECT_EQ(MessageBox("t", c.style, "C"), c.expected) << "style " << c.style;
    expected += "msgbox | C | " + std::to_string(c.style) + " | t | " +
                std::string(AnswerName(c.expected)) + " (default)\n";
  }
  EXPECT_EQ(Text(), expected);
}

TEST_F(MessageBoxTest, QueuedAnswerIsTakenInOrderAndFieldsAreEscaped) {
  AnswerQueue::Instance().Push(kNo);
  AnswerQueue::Instance().Push(kOk);
  EXPECT_EQ(MessageBox("Weiter?\r\nJa | Nein", kYesNo | kIconQuestion, "Quillet"), kNo);
  EXPECT_EQ(MessageBox("Fertig", kOkOnly, ""), kOk);
  EXPECT_EQ(MessageBox("again", kOkCancel, "x"), kOk);
  EXPECT_EQ(Text(),
            "msgbox | Quillet | 36 | Weiter?\\r\\nJa \\| Nein | no\n"
            "msgbox |  | 0 | Fertig | ok\n"
            "msgbox | x | 1 | again | ok (default)\n");
}

TEST_F(MessageBoxTest, AnswerTheBoxDoesNotOfferIsAScriptError) {
  AnswerQueue::Instance().Push(kYes);
  try {
    MessageBox("Saved", kOkOnly, "Glimpra");
    ADD_FAILURE();
  } catch (const ScriptError& e) {
    EXPECT_STREQ(e.what(), "ui script: answer 'yes' does not fit the message box \"Glimpra\" (ok)");
  }
  EXPECT_EQ(Text(), "");
}

TEST(TranscriptBroken, UnwritableFileIsReportedOnce) {
  setenv("ORN_UI_TRANSCRIPT", "/nonexistent-dir/t.txt", 1);
  AnswerQueue::Instance().Clear();
  ::testing::internal::CaptureStderr();
  MessageBox("a", kOkOnly, "c");
  MessageBox("b", kOkOnly, "c");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ui transcript: cannot write '/nonexistent-dir/t.txt'\n");
  unsetenv("ORN_UI_TRANSCRIPT");
}

TEST(TranscriptOff, WithoutTranscriptEachBoxIsOneLineOnStandardError) {
  unsetenv("ORN_UI_TRANSCRIPT");
  AnswerQueue::Instance().Clear();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBox("x", kYesNo | kDefaultButton2, "c"), kNo);
  EXPECT_EQ(MessageBox("Run-time error '53':\r\n\r\nFile not found\n", kOkOnly, "Glimpra"), kOk);
  EXPECT_EQ(MessageBox("a\rb\nc", kOkOnly, ""), kOk);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "c: x\n"
            "Glimpra: Run-time error '53': File not found\n"
            ": a b c\n");
}

TEST_F(MessageBoxTest, WithTranscriptNothingGoesToStandardError) {
  ::testing::internal::CaptureStderr();
  MessageBox("x", kOkOnly, "c");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(Text(), "msgbox | c | 0 | x | ok (default)\n");
}

TEST(ScreenTest, SizeComesFromTheEnvironmentAndABadValueIsRefused) {
  struct Case {
    const char* value;  // null: unset
    int32_t width, height;
    bool refused;
  } cases[] = {
      {nullptr, 1280, 1024, false}, {"", 1280, 1024, false},  {"1024x768", 1024, 768, false},
      {"800X600", 800, 600, false}, {"1024*768", 0, 0, true}, {"0x600", 0, 0, true},
      {"800x", 0, 0, true},         {"-800x600", 0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "(unset)");
    if (c.value) {
      setenv("ORN_SCREEN", c.value, 1);
    } else {
      unsetenv("ORN_SCREEN");
    }
    if (c.refused) {
      EXPECT_EXIT(ScreenFromEnvironment(), ::testing::ExitedWithCode(124),
                  "^ORN_SCREEN must be WIDTHxHEIGHT in pixels, such as 1280x1024, not '.+'\n$");
    } else {
      const ScreenPixels s = ScreenFromEnvironment();
      EXPECT_EQ(s.width, c.width);
      EXPECT_EQ(s.height, c.height);
    }
  }
  unsetenv("ORN_SCREEN");
}

}  // namespace
}  // namespace uiscript
