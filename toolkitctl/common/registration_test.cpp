#include "toolkitctl/common/registration.h"

#include <gtest/gtest.h>

#include "toolkitctl/common/test_container.h"

namespace toolkitctl {
namespace {

using RegistrationSteps = testing::ContainerTest;

TEST_F(RegistrationSteps, ALongCategoryDescriptionIsCutTo127Characters) {
  const ax::Guid cat{0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
  ASSERT_EQ(RegisterCategory(cat, std::string(200, 'd')), ax::S_OK);
  EXPECT_EQ(Value("Component Categories\\" + com::GuidText(cat), "409"), std::string(127, 'd'));
  ASSERT_EQ(RegisterCategory(cat, "short"), ax::S_OK);
  EXPECT_EQ(Value("Component Categories\\" + com::GuidText(cat), "409"), "short");
}

TEST_F(RegistrationSteps, UnregisteringWhatWasNeverRegisteredFailsAtTheTypeLibrary) {
  const ax::TypeLibDesc lib{"L", ax::Guid{7, 7, 7, {}}, 1, 0, {}, {}};
  EXPECT_EQ(ControlCategoryUnregistration({}, lib, ax::Guid{8, 8, 8, {}}, "/x.so"), ax::TYPE_E_REGISTRYACCESS);
}

}  // namespace
}  // namespace toolkitctl
