// File uploads in chunks and album pictures sent to a client.
#include "remote/CServerDlg.h"

namespace tembrel::remote {

void CServerDlg::startFile(std::int32_t /*userId*/, net::CNDKMessage& /*message*/) {}

void CServerDlg::sendFile(std::int32_t /*userId*/, net::CNDKMessage& /*message*/) {}

void CServerDlg::endFile(std::int32_t /*userId*/, net::CNDKMessage& /*message*/) {}

void CServerDlg::getDetail(std::int32_t /*userId*/, net::CNDKMessage& /*message*/,
                           const std::string& /*argument*/) {}

bool CServerDlg::sendPicture(const std::filesystem::path& /*picturePath*/,
                             std::int32_t /*userId*/) {
    return false;
}

} // namespace tembrel::remote
