#include "MenuTestSupport.h"
#include "TestSupport.h"

#include "app/Ids.h"
#include "app/OptionsMenu.h"
#include "app/Settings.h"
#include "base/Handle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class OptionsMenuTest : public ::testing::Test {
protected:
    void SetUp() override { settings.SetDefaults(); }
    void TearDown() override { settings.SetDefaults(); }

    // A fresh menu with the options, from the given device names.
    MenuHandle Build(std::vector<std::wstring> devices = {L"Default device"}) {
        devices_ = std::move(devices);
        options_ = std::make_unique<COptionsMenu>(
            &settings,
            [this](int i, std::wstring& text) {
                if (i < 0 || i >= static_cast<int>(devices_.size())) return false;
                text = devices_[i];
                return true;
            },
            nullptr);
        MenuHandle menu(CreatePopupMenu());
        options_->InsertOptions(menu.get());
        return menu;
    }
    void Refresh(HMENU menu) { options_->UpdateOptionChecks(menu); }

    std::vector<std::wstring> devices_;
    std::unique_ptr<COptionsMenu> options_;
};

// The one checked item of a submenu, by its text ("" when none is checked).
std::wstring Checked(HMENU menu, UINT position) {
    HMENU sub = GetSubMenu(menu, position);
    std::wstring found;
    for (int i = 0; i < GetMenuItemCount(sub); ++i)
        if (th::IsChecked(sub, i)) found += (found.empty() ? L"" : L"|") + th::MenuText(sub, i);
    return found;
}

std::vector<std::wstring> Texts(HMENU menu) {
    std::vector<std::wstring> texts;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) texts.push_back(th::MenuText(menu, i));
    return texts;
}

}  // namespace

TEST_F(OptionsMenuTest, FirstRunBulletsTheDefaults) {
    MenuHandle menu = Build();
    HMENU m = menu.get();
    ASSERT_EQ(GetMenuItemCount(m), kOptionCount);
    EXPECT_EQ(th::MenuText(m, 0), L"About tunehaven");
    EXPECT_EQ(th::MenuId(m, 0), ID_ABOUT);
    EXPECT_TRUE(th::IsSeparator(m, 1));
    EXPECT_TRUE(th::IsSeparator(m, 10));
    EXPECT_TRUE(th::IsSeparator(m, 12));
    EXPECT_EQ(th::MenuText(m, kOptionFade), L"Fade out looped songs");

    EXPECT_EQ(Checked(m, kOptionDevice), L"Default device");
    EXPECT_EQ(Checked(m, kOptionRate), L"48000 Hz");
    EXPECT_EQ(Checked(m, kOptionCache), L"500 Mb");
    EXPECT_EQ(Checked(m, kOptionVolumeAdjust), L"Off");
    EXPECT_EQ(Checked(m, kOptionSurround), L"Off");
    EXPECT_EQ(Checked(m, kOptionClickRemoval), L"Sensitive");
    EXPECT_EQ(Checked(m, kOptionInterpolation), L"Linear");
    EXPECT_EQ(Checked(m, kOptionRandom), L"Off");
    EXPECT_FALSE(th::IsChecked(m, kOptionFade));
    EXPECT_EQ(th::CountChecked(m), 8);  // one per group, nothing else
    // Choices carry bullets, the fade option an ordinary check mark.
    EXPECT_TRUE(th::IsRadio(GetSubMenu(m, kOptionClickRemoval), 2));
    EXPECT_FALSE(th::IsRadio(m, kOptionFade));
}

TEST_F(OptionsMenuTest, SubmenusListTheirChoicesWithTheirIds) {
    MenuHandle menu = Build({L"Default device", L"Speakers & Headphones", L"USB"});
    HMENU m = menu.get();
    const std::vector<std::pair<int, std::wstring>> titles = {
        {kOptionDevice, L"Output device"},     {kOptionRate, L"Output rate"},
        {kOptionCache, L"Cache size"},         {kOptionVolumeAdjust, L"Volume adjustment"},
        {kOptionSurround, L"Surround sound"},  {kOptionClickRemoval, L"Click removal"},
        {kOptionInterpolation, L"Interpolated mixing"}, {kOptionRandom, L"Random play"}};
    for (const auto& [position, title] : titles) {
        EXPECT_EQ(th::MenuText(m, position), title);
        EXPECT_NE(GetSubMenu(m, position), nullptr) << position;
    }

    HMENU devices = GetSubMenu(m, kOptionDevice);
    EXPECT_EQ(Texts(devices), (std::vector<std::wstring>{L"Default device",
                                                          L"Speakers && Headphones", L"USB"}));
    EXPECT_EQ(th::MenuId(devices, 2), ID_DEVICE_FIRST + 2);
    HMENU rates = GetSubMenu(m, kOptionRate);
    EXPECT_EQ(Texts(rates), (std::vector<std::wstring>{L"22050 Hz", L"44100 Hz", L"48000 Hz",
                                                        L"96000 Hz"}));
    EXPECT_EQ(th::MenuId(rates, 3), ID_RATE_FIRST + 3);
    HMENU cache = GetSubMenu(m, kOptionCache);
    EXPECT_EQ(Texts(cache),
              (std::vector<std::wstring>{L"100 Mb", L"250 Mb", L"500 Mb", L"1 Gb"}));
    EXPECT_EQ(th::MenuId(cache, 0), ID_CACHE_FIRST);

    HMENU adjust = GetSubMenu(m, kOptionVolumeAdjust);
    ASSERT_EQ(GetMenuItemCount(adjust), 18);
    EXPECT_EQ(th::MenuText(adjust, 1), L"Scale to peak");
    EXPECT_EQ(th::MenuText(adjust, 2), L"Scale to -15 dB RMS");
    EXPECT_EQ(th::MenuId(adjust, 2), 215u);
    EXPECT_EQ(th::MenuText(adjust, 17), L"Scale to -30 dB RMS");
    EXPECT_EQ(th::MenuId(adjust, 17), 230u);

    EXPECT_EQ(Texts(GetSubMenu(m, kOptionSurround)),
              (std::vector<std::wstring>{L"Off", L"Mode 1", L"Mode 2"}));
    EXPECT_EQ(Texts(GetSubMenu(m, kOptionClickRemoval)),
              (std::vector<std::wstring>{L"Off", L"Normal", L"Sensitive"}));
    EXPECT_EQ(Texts(GetSubMenu(m, kOptionInterpolation)),
              (std::vector<std::wstring>{L"Off", L"Linear", L"Sinc"}));
    EXPECT_EQ(Texts(GetSubMenu(m, kOptionRandom)),
              (std::vector<std::wstring>{L"Off", L"Current playlist", L"Entire library"}));
    EXPECT_EQ(th::MenuId(GetSubMenu(m, kOptionRandom), 2), ID_RANDOM_LIBRARY);
}

TEST_F(OptionsMenuTest, GoesAheadOfTheMenusOwnItems) {
    MenuHandle menu(CreatePopupMenu());
    AppendMenuW(menu.get(), MF_STRING, SC_CLOSE, L"Close");
    COptionsMenu options(&settings, nullptr, nullptr);
    options.InsertOptions(menu.get());
    ASSERT_EQ(GetMenuItemCount(menu.get()), kOptionCount + 1);
    EXPECT_EQ(th::MenuText(menu.get(), 0), L"About tunehaven");
    EXPECT_EQ(th::MenuText(menu.get(), kOptionCount), L"Close");
    // Without an engine only the default device is offered.
    EXPECT_EQ(Texts(GetSubMenu(menu.get(), kOptionDevice)),
              (std::vector<std::wstring>{L"Default device"}));
}

TEST_F(OptionsMenuTest, ChecksFollowEveryGroupOfTheFlags) {
    MenuHandle menu = Build({L"Default device", L"One", L"Two"});
    HMENU m = menu.get();
    settings.flags = FLAG_SCALE_RMS | (20u << 24) | FLAG_RAMP | FLAG_SURROUND2 | FLAG_SINCINTER |
                     FLAG_FADE_LOOPED;
    settings.device = 2;
    settings.freq = 0;
    settings.cache = 3;
    settings.random = 2;
    Refresh(m);
    EXPECT_EQ(Checked(m, kOptionVolumeAdjust), L"Scale to -20 dB RMS");
    EXPECT_EQ(Checked(m, kOptionClickRemoval), L"Normal");
    EXPECT_EQ(Checked(m, kOptionSurround), L"Mode 2");
    EXPECT_EQ(Checked(m, kOptionInterpolation), L"Sinc");
    EXPECT_EQ(Checked(m, kOptionDevice), L"Two");
    EXPECT_EQ(Checked(m, kOptionRate), L"22050 Hz");
    EXPECT_EQ(Checked(m, kOptionCache), L"1 Gb");
    EXPECT_EQ(Checked(m, kOptionRandom), L"Entire library");
    EXPECT_TRUE(th::IsChecked(m, kOptionFade));

    // A level the menu does not offer, or a level without the RMS bit, marks no RMS item.
    settings.flags = FLAG_SCALE_RMS | (40u << 24) | FLAG_NONINTER | FLAG_SURROUND;
    settings.device = 7;  // a device that is gone: no bullet rather than a wrong one
    Refresh(m);
    EXPECT_EQ(Checked(m, kOptionVolumeAdjust), L"");
    EXPECT_EQ(Checked(m, kOptionInterpolation), L"Off");
    EXPECT_EQ(Checked(m, kOptionSurround), L"Mode 1");
    EXPECT_EQ(Checked(m, kOptionClickRemoval), L"Off");
    EXPECT_EQ(Checked(m, kOptionDevice), L"");
    EXPECT_FALSE(th::IsChecked(m, kOptionFade));
    settings.flags = 20u << 24;
    Refresh(m);
    EXPECT_EQ(Checked(m, kOptionVolumeAdjust), L"Off");
}

TEST_F(OptionsMenuTest, NamesOfSizesAndRates) {
    EXPECT_EQ(COptionsMenu::CacheSizeName(250), L"250 Mb");
    EXPECT_EQ(COptionsMenu::CacheSizeName(1024), L"1 Gb");
    EXPECT_EQ(COptionsMenu::CacheSizeName(2048), L"2 Gb");
    std::wstring text;
    EXPECT_TRUE(COptionsMenu::DefaultRateName(1, text));
    EXPECT_EQ(text, L"44100 Hz");
    EXPECT_FALSE(COptionsMenu::DefaultRateName(4, text));
    EXPECT_TRUE(COptionsMenu::DefaultDeviceName(0, text));
    EXPECT_EQ(text, L"Default device");
    EXPECT_FALSE(COptionsMenu::DefaultDeviceName(1, text));
}
