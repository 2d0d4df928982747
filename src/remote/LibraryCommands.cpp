// Library browsing and queueing commands: listing a user's artist's albums
// and an album's tracks, and queueing a library track into the playlist.
#include "remote/CServerDlg.h"

namespace tembrel::remote {

void CServerDlg::getAlbums(std::int32_t /*userId*/, net::CNDKMessage& /*message*/,
                           const std::string& /*argument*/) {}

void CServerDlg::getAlbumTracks(std::int32_t /*userId*/, net::CNDKMessage& /*message*/,
                                const std::string& /*argument*/) {}

void CServerDlg::playAlbumTrack(std::int32_t /*userId*/, net::CNDKMessage& /*message*/,
                                const std::string& /*argument*/) {}

void CServerDlg::queueTrack(const std::string& /*openPath*/, const std::string& /*namePath*/,
                            std::int32_t /*userId*/, net::CNDKMessage& /*message*/) {}

} // namespace tembrel::remote
