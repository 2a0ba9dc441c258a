#include "platform/runtime/error.h"

#include <gtest/gtest.h>

#include "platform/runtime/error_testing.h"

namespace {

TEST(ErrorTest, DescriptionsAreTheRuntimes) {
  struct Case {
    int32_t number;
    const char* text;
  } cases[] = {
      {0, ""},
      {rt::kInvalidCall, "Invalid procedure call or argument"},
      {rt::kOverflow, "Overflow"},
      {rt::kSubscriptOutOfRange, "Subscript out of range"},
      {rt::kDivisionByZero, "Division by zero"},
      {rt::kTypeMismatch, "Type mismatch"},
      {rt::kFileNotFound, "File not found"},
      {rt::kPermissionDenied, "Permission denied"},
      {rt::kPathFileAccess, "Path/File access error"},
      {rt::kPathNotFound, "Path not found"},
      {rt::kObjectNotSet, "Object variable or With block variable not set"},
      {rt::kInvalidPropertyValue, "Invalid property value"},
      {rt::kNoSuchMember, "Object doesn't support this property or method"},
      {rt::kInvalidPicture, "Invalid picture"},
      {1, "Application-defined or object-defined error"},
      {31999, "Application-defined or object-defined error"},
      {-5, "Application-defined or object-defined error"},
  };
  for (const auto& c : cases) EXPECT_EQ(rt::ErrorDescription(c.number), c.text) << c.number;
}

TEST(ErrorTest, RaiseCarriesNumberAndDescription) {
  try {
    rt::Raise(rt::kSubscriptOutOfRange);
    FAIL() << "Raise returned";
  } catch (const rt::RuntimeError& e) {
    EXPECT_EQ(e.number(), 9);
    EXPECT_EQ(e.description(), "Subscript out of range");
    EXPECT_STREQ(e.what(), "Subscript out of range");
  }
  try {
    rt::Raise(20005, "PIXO Error: bad");
    FAIL() << "Raise returned";
  } catch (const rt::RuntimeError& e) {
    EXPECT_EQ(e.number(), 20005);
    EXPECT_EQ(e.description(), "PIXO Error: bad");
  }
}

TEST(ErrorTest, ErrorNumberOfTellsReturnFromRaise) {
  EXPECT_EQ(rt::ErrorNumberOf([] {}), 0);
  EXPECT_EQ(rt::ErrorNumberOf([] { rt::Raise(rt::kOverflow); }), 6);
}

}  // namespace
