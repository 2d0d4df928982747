// The spectrum stream: the timer step that broadcasts the band values, and
// the rate chosen from the DSP menu or the stored settings.
#include "remote/CServerDlg.h"

namespace tembrel::remote {

void CServerDlg::pushSpectrum(net::CNDKMessage& /*message*/) {
    if (spectrumTimerHandle_ != 0) {
        killTimer(kSpectrumTimerId);
    }
    armTimer(kSpectrumTimerId, spectrum_.spectrumPeriodMs);
}

void CServerDlg::setSpectrumRate(SpectrumRate /*rate*/) {}

void CServerDlg::applyDspCode(int /*code*/) {}

int CServerDlg::currentDspCode() const noexcept {
    return checkedDspCode_;
}

} // namespace tembrel::remote
