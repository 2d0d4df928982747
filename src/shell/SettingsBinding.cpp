// Moves settings between the store and the controller's working values: the
// port and Location fields, the volume and the spectrum rate.
#include "shell/SettingsBinding.h"

namespace tembrel::shell {

namespace {

constexpr std::string_view kNoticeCaption = "Tembrel Server";
constexpr std::string_view kSavedNotice = "Settings Saved";

} // namespace

LoadedSettings loadSettings(const SettingsStore& store, remote::CServerDlg& controller) {
    LoadedSettings loaded = store.load();
    controller.setPortText(loaded.portText);
    for (std::size_t index = 0; index < loaded.locations.size(); ++index) {
        controller.setLocation(static_cast<int>(index), loaded.locations[index]);
    }
    controller.soundEngine().setVolume(loaded.volume);
    // A code outside 1-4 leaves the spectrum off and nothing checked.
    controller.applyDspCode(loaded.dspCode);
    if (loaded.formats) {
        if (auto formats = library::AudioFormats::fromList(*loaded.formats)) {
            controller.setFormats(std::move(*formats));
        }
    }
    controller.view().fieldsChanged();
    return loaded;
}

void saveSettings(SettingsStore& store, remote::CServerDlg& controller) {
    store.saveConnection(controller.portText(), controller.locations());
    // Shown whether or not the store could be written.
    controller.view().showNotice(kNoticeCaption, kSavedNotice,
                                 remote::ServerView::NoticeKind::Information);
}

void saveExitSettings(SettingsStore& store, remote::CServerDlg& controller) {
    store.savePlayback(controller.soundEngine().volume(), controller.currentDspCode());
}

} // namespace tembrel::shell
