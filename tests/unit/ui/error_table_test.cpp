#include "ui/error_table.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "tests/unit/ui/catalog_locale.h"

namespace zevrino::desktop::installer {
namespace {

// The English texts with the code line; the right-to-left flag only when
// asked for.
TEST(ErrorTableTest, ComposedTextAndFlags) {
  ASSERT_TRUE(testing::UseCatalog("en"));
  EXPECT_EQ(ComposeErrorText(ResultCode{13}),
            "The installer is unable to install Zevrino because the neccessary files could not "
            "be created.\n\n(Error code: 13)");
  const std::string memory = ComposeErrorText(ResultCode{11});
  EXPECT_EQ(memory.substr(memory.size() - 26), "retry.\n\n\n\n(Error code: 11)");
  EXPECT_EQ(ComposeErrorText(ResultCode{0xFFFFFFFFu}),  // printed as signed
            "The installer encountered an unknown error.\n\n(Error code: -1)");
  EXPECT_EQ(ErrorDialogFlags(ResultCode{13}, false), 0x35u);
  EXPECT_EQ(ErrorDialogFlags(ResultCode{13}, true), 0x100035u);
  EXPECT_EQ(ErrorDialogFlags(ResultCode{4}, false), 0x30u);
  EXPECT_EQ(ErrorDialogFlags(ResultCode{57}, true), 0x100031u);

  ASSERT_TRUE(testing::UseCatalog("de"));
  const std::string german = ComposeErrorText(ResultCode{4});
  EXPECT_EQ(german.substr(german.size() - 17), "\n\n(Fehlercode: 4)");
  EXPECT_EQ(german.find("The installer"), std::string::npos) << german;
  ASSERT_TRUE(testing::UseCatalog("en"));
}

// A message too long for the 4095 bytes is cut at a character boundary and
// the code line stays whole.
TEST(ErrorTableTest, LongMessageKeepsTheCodeLine) {
  std::string message = "x";
  while (message.size() < 5000) {
    message += "\xE6\x97\xA5";  // three bytes each
  }
  const std::string text = ComposeErrorText(message, "Code: ", ResultCode{13});
  const std::string code_line = "\n\n(Code: 13)";
  ASSERT_LE(text.size(), kMaxErrorTextBytes);
  EXPECT_GT(text.size(), kMaxErrorTextBytes - 3);
  EXPECT_EQ(text.substr(text.size() - code_line.size()), code_line);
  const std::string kept = text.substr(0, text.size() - code_line.size());
  EXPECT_EQ((kept.size() - 1) % 3, 0u) << "a character was split";
  EXPECT_EQ(message.compare(0, kept.size(), kept), 0);
}

TEST(ErrorTableTest, EveryCodeHasItsRow) {
  const auto message = [](std::uint32_t code) {
    return std::string(LookupErrorEntry(ResultCode{code}).message_id);
  };
  const std::string corrupt = message(1);
  const std::string unknown = message(0);
  for (std::uint32_t code = 1; code <= 8; ++code) {
    EXPECT_EQ(message(code), corrupt) << code;
    EXPECT_EQ(LookupErrorEntry(ResultCode{code}).browser, BrowserTarget::kDownloadPage) << code;
    EXPECT_EQ(LookupErrorEntry(ResultCode{code}).buttons, ErrorButtons::kOk) << code;
  }
  EXPECT_EQ(message(11), message(12));
  EXPECT_EQ(LookupErrorEntry(ResultCode{11}).buttons, ErrorButtons::kOk);
  EXPECT_EQ(LookupErrorEntry(ResultCode{12}).buttons, ErrorButtons::kRetryCancel)
      << "the space is asked again";
  EXPECT_EQ(message(14), message(18));
  for (std::uint32_t code : {51u, 52u, 54u}) {
    EXPECT_EQ(message(code), message(50)) << code;
  }
  EXPECT_EQ(LookupErrorEntry(ResultCode{57}).browser, BrowserTarget::kFullInstaller);
  EXPECT_EQ(LookupErrorEntry(ResultCode{57}).buttons, ErrorButtons::kOkCancel);
  EXPECT_EQ(LookupErrorEntry(ResultCode{17}).buttons, ErrorButtons::kOk);
  // A bad mu or no application-data folder: said as such, and no Retry.
  EXPECT_EQ(message(34), unknown);
  EXPECT_EQ(message(35), message(13));
  EXPECT_EQ(LookupErrorEntry(ResultCode{34}).buttons, ErrorButtons::kOk);
  EXPECT_EQ(LookupErrorEntry(ResultCode{35}).buttons, ErrorButtons::kOk);
  for (std::uint32_t code : {0u, 9u, 10u, 15u, 19u, 24u, 27u, 30u, 53u, 55u, 56u, 62u, 1000u}) {
    EXPECT_EQ(message(code), unknown) << code;
    EXPECT_EQ(LookupErrorEntry(ResultCode{code}).buttons, ErrorButtons::kRetryCancel) << code;
    EXPECT_EQ(LookupErrorEntry(ResultCode{code}).browser, BrowserTarget::kNone) << code;
  }
}

// What the network asks of the user: each its own message, buttons and page.
TEST(ErrorTableTest, NetworkRows) {
  const struct {
    std::uint32_t code;
    const char* starts;
    ErrorButtons buttons;
    BrowserTarget browser;
  } rows[] = {
      {58, "The installer is unable to download Zevrino because the proxy server asks",
       ErrorButtons::kRetryCancel, BrowserTarget::kNone},
      {59, "The network you are connected to asks you to sign in", ErrorButtons::kCancelTryContinue,
       BrowserTarget::kDownloadPage},
      {60, "The installer is unable to verify the secure connection", ErrorButtons::kRetryCancel,
       BrowserTarget::kNone},
      {61, "The downloaded installer is not genuine and has been deleted.", ErrorButtons::kOk,
       BrowserTarget::kDownloadPage},
  };
  for (const auto& row : rows) {
    const ErrorTableEntry entry = LookupErrorEntry(ResultCode{row.code});
    EXPECT_EQ(std::string(entry.message_id).rfind(row.starts, 0), 0u) << entry.message_id;
    EXPECT_EQ(entry.buttons, row.buttons) << row.code;
    EXPECT_EQ(entry.browser, row.browser) << row.code;
  }
  EXPECT_EQ(ErrorDialogFlags(ResultCode{59}, false), 0x36u);
}

// Each answer of each kind of dialog: browser opened, asked again, retried.
TEST(ErrorTableTest, Answers) {
  const struct {
    std::uint32_t code;
    int answer;
    bool browser, again, retry;
  } cases[] = {
      {59, kAnswerContinue, true, true, false},   {59, kAnswerTryAgain, false, false, true},
      {59, kAnswerCancel, false, false, false},   {59, 0, false, false, false},
      {61, kAnswerOk, true, false, false},        {61, 0, true, false, false},
      {57, kAnswerCancel, false, false, false},   {60, kAnswerRetry, false, false, true},
      {13, kAnswerContinue, false, false, false},
  };
  for (const auto& c : cases) {
    const ErrorAnswer answer = InterpretErrorAnswer(LookupErrorEntry(ResultCode{c.code}), c.answer);
    EXPECT_EQ(std::make_tuple(answer.open_browser, answer.show_again, answer.retry),
              std::make_tuple(c.browser, c.again, c.retry))
        << c.code << " answered " << c.answer;
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
