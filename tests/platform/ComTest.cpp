#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/Com.h"

namespace {

TEST(Com, GuidTextRoundTripsAndRejectsMalformedText) {
    const GUID id = StringToGUID("{440352cd-2644-44F8-978B-C67C840429D8}");
    EXPECT_EQ(id.Data1, 0x440352CDu);
    EXPECT_EQ(id.Data2, 0x2644);
    EXPECT_EQ(id.Data3, 0x44F8);
    EXPECT_EQ(id.Data4[0], 0x97);
    EXPECT_EQ(id.Data4[7], 0xD8);
    EXPECT_EQ(GUIDToString(id), "{440352CD-2644-44F8-978B-C67C840429D8}");
    for (const char* bad :
         {"", "{440352CD-2644-44F8-978B-C67C840429D8", "440352CD-2644-44F8-978B-C67C840429D8}",
          "{440352CD+2644-44F8-978B-C67C840429D8}", "{440352CG-2644-44F8-978B-C67C840429D8}",
          "{440352CD-2644-44F8-978B-C67C840429D8}x"})
        EXPECT_THROW(StringToGUID(bad), std::invalid_argument) << bad;
}

TEST(Com, StatusCodesKeepTheirSign) {
    EXPECT_TRUE(SUCCEEDED(S_FALSE));
    EXPECT_TRUE(FAILED(E_FAIL));
    EXPECT_EQ(static_cast<uint32_t>(E_OUTOFMEMORY), 0x8007000Eu);
}

TEST(Com, FactoryTableCreatesByClassIdAndReplacesOnReregistration) {
    const CLSID id = StringToGUID("{00000000-0000-0000-0000-0000000000A1}");
    EXPECT_FALSE(ClassFactoryExists(id));
    EXPECT_EQ(CreateFilterInstance(id), nullptr);
    EXPECT_EQ(CreatePropertyPage(id, nullptr, nullptr), nullptr);

    int created = 0;
    RegisterClassFactory({id, "First",
                          [&] {
                              ++created;
                              return nullptr;
                          },
                          nullptr});
    EXPECT_EQ(ClassFactoryName(id), "First");
    CreateFilterInstance(id);
    EXPECT_EQ(created, 1);
    EXPECT_EQ(CreatePropertyPage(id, nullptr, nullptr), nullptr);  // not a page

    RegisterClassFactory({id, "Second", nullptr, nullptr});
    EXPECT_EQ(ClassFactoryName(id), "Second");
    EXPECT_EQ(CreateFilterInstance(id), nullptr);
    EXPECT_EQ(created, 1);
}

}  // namespace
