// Public face of the connection server; the work is done by CNDKHost::Impl.
#include "net/CNDKHost.h"

#include "net/CNDKHostImpl.h"

namespace tembrel::net {

namespace {

CNDKMessage makePing() {
    CNDKMessage ping(kNdkIdPing);
    ping.appendValue(CNDKValue::fromScalar(ValueType::FourByteD, CNDKHost::tickCount()));
    return ping;
}

} // namespace

CNDKHost::CNDKHost() : CNDKHost(Limits{}) {}

CNDKHost::CNDKHost(Limits limits) : impl_(std::make_unique<Impl>(*this, limits)) {}

CNDKHost::~CNDKHost() {
    // The derived part is gone already, so stopping here tells the users but
    // calls no callback.
    impl_->beginDestruction();
    impl_->stopHost();
}

bool CNDKHost::startHost(int port) {
    return impl_->startHost(port);
}
void CNDKHost::stopHost() {
    impl_->stopHost();
}
bool CNDKHost::isHosting() const noexcept {
    return impl_->isHosting();
}
int CNDKHost::listeningPort() const noexcept {
    return impl_->listeningPort();
}
int CNDKHost::userCount() const noexcept {
    return impl_->userCount();
}

const std::string& CNDKHost::listenError() const noexcept {
    return impl_->listenError();
}

void CNDKHost::setExposure(Exposure exposure) {
    impl_->setExposure(std::move(exposure));
}

const AddressPolicy& CNDKHost::addressPolicy() const noexcept {
    return impl_->addressPolicy();
}

const std::vector<QHostAddress>& CNDKHost::listenAddresses() const noexcept {
    return impl_->listenAddresses();
}

bool CNDKHost::allowsPeer(const QHostAddress& address, std::string_view cause) {
    return impl_->allowsPeer(address, cause);
}

void CNDKHost::setConnectionLog(std::function<void(std::string_view line)> sink) {
    impl_->setConnectionLog(std::move(sink));
}

std::int32_t CNDKHost::admitUser(std::unique_ptr<UserTransport> transport) {
    return impl_->admitUser(std::move(transport));
}

bool CNDKHost::sendToUser(std::int32_t userId, const CNDKMessage& message) {
    return impl_->sendToUser(userId, message);
}

bool CNDKHost::sendToAllUsers(const CNDKMessage& message) {
    // User ids start at 1, so excluding 0 excludes nobody.
    return impl_->sendToAll(message, 0);
}

bool CNDKHost::sendToAllUsersExcept(std::int32_t userId, const CNDKMessage& message) {
    return impl_->sendToAll(message, userId);
}

bool CNDKHost::dropUser(std::int32_t userId) {
    return impl_->dropUser(userId, DropReason::ClosedByServer);
}

void CNDKHost::holdInput(std::int32_t userId) {
    impl_->holdInput(userId);
}

void CNDKHost::releaseInput(std::int32_t userId) {
    impl_->releaseInput(userId);
}

void CNDKHost::dropAllUsers() {
    impl_->dropAllUsers();
}

bool CNDKHost::pingUser(std::int32_t userId) {
    return sendToUser(userId, makePing());
}

void CNDKHost::pingAllUsers() {
    (void)sendToAllUsers(makePing());
}

std::uint32_t CNDKHost::tickCount() noexcept {
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    // Wraps like the 32-bit millisecond counters peers expect.
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count());
}

void CNDKHost::onPingMeasured(std::int32_t /*userId*/, std::uint32_t /*milliseconds*/) {}

} // namespace tembrel::net
