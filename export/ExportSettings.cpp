#include "export/ExportSettings.h"

namespace norvane {
namespace {

constexpr const char* kTitleSection = "TITLE";
constexpr const char* kTitleKeys[] = {"VALUE1", "VALUE2", "VALUE3",  "VALUE4",
                                      "VALUE5", "VALUE6", "BGCOLOR", "FONTCOLOR"};
// What the program's buffers for these values hold.
constexpr std::size_t kMaxValueBytes = 519;

// The section's values in key order.
std::array<std::string, std::size(kTitleKeys)> Values(const TitleSettings& titles) {
    const auto& t = titles.titles;
    return {t[0], t[1], t[2], t[3], t[4], t[5], titles.bgColor, titles.fontColor};
}

}  // namespace

void ApplyTitleSettings(std::string_view settingsText, TitleSettings& titles) {
    auto values = Values(titles);
    ApplySettingsValues(settingsText, kTitleSection, kTitleKeys, Values(TitleSettings()), values, kMaxValueBytes);
    for (std::size_t i = 0; i < titles.titles.size(); ++i) titles.titles[i] = std::move(values[i]);
    titles.bgColor = std::move(values[6]);
    titles.fontColor = std::move(values[7]);
    constexpr const char* kChangeKey[] = {"VALUE7"};
    std::string change[] = {titles.changeTitle};
    const std::string defaultChange[] = {TitleSettings().changeTitle};
    ApplySettingsValues(settingsText, kTitleSection, kChangeKey, defaultChange, change, kMaxValueBytes);
    titles.changeTitle = std::move(change[0]);
}

SettingsFileState LoadTitleSettings(TitleSettings& titles, const std::string& path) {
    std::string text;
    const SettingsFileState state = ReadSettingsFile(path, &text);
    if (state != SettingsFileState::kMissing && state != SettingsFileState::kTooLarge) ApplyTitleSettings(text, titles);
    return state;
}

bool SaveTitleSettings(const TitleSettings& titles, const std::string& path) {
    return SaveSettingsValues(kTitleSection, kTitleKeys, Values(titles), path);
}

}  // namespace norvane
