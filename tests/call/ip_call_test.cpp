// The engine's state table, driven by hand through a fake transport: every datagram it sends is
// checked, and the timers are fired by the test instead of waiting seconds.
#include "ip_call.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>
#include <vector>

#include "ipc_fake_transport.h"

namespace {

constexpr uint16_t k_port = 23500;

struct status_change {
    int old_status;
    int new_status;
    int result;
    bool operator==(const status_change&) const = default;
};

// The plain engine with its state reports recorded.
class recording_call : public ip_call {
public:
    recording_call(const ipc_connect_data& own, const std::string& local, const std::string& contact,
                   std::unique_ptr<fake_transport> t)
        : ip_call(own, k_port, local, contact, std::move(t))
    {
    }
    std::vector<status_change> changes;
    int incoming_code = 0;
    int connect_calls = 0;

protected:
    void on_update_status(status_e o, status_e n, int r) override { changes.push_back({o, n, r}); }
    int on_incoming(const ipc_msg_call&) override { return incoming_code; }
    int on_connect() override
    {
        ++connect_calls;
        return 0;
    }
};

sockaddr_in addr(const char* a, uint16_t port = k_port)
{
    sockaddr_in s{};
    s.sin_family = AF_INET;
    s.sin_port = htons(port);
    inet_pton(AF_INET, a, &s.sin_addr);
    return s;
}

ipc_connect_data own_data(const char* media, int codec = 97)
{
    ipc_connect_data d{};
    ipc_copy_text(d.media_addr, media);
    d.audio_port = 15000;
    d.video_port = 26000;
    d.control_port = 17000;
    d.incom_port = 16000;
    d.c_tcp_active = true;
    d.gpio = 2;
    d.codec = codec;
    return d;
}

// One unit: an engine over a fake transport.
struct unit {
    fake_transport* net;
    std::unique_ptr<recording_call> engine;
    std::string address;

    explicit unit(const char* a, const std::string& contact = "")
        : address(a)
    {
        auto t = std::make_unique<fake_transport>();
        net = t.get();
        engine = std::make_unique<recording_call>(own_data(""), a, contact, std::move(t));
    }
    recording_call& operator*() { return *engine; }
    recording_call* operator->() { return engine.get(); }
};

template <typename T>
const T& as(const std::unique_ptr<ipc_message>& m)
{
    return static_cast<const T&>(*m);
}

// Head of a message from the peer at 192.0.2.1.
template <typename T>
T from_peer(const char* call_id, int seq, const char* dst = "192.0.2.2")
{
    T m;
    if (m.command == IPC_CMD_NONE) {
        m.command = IPC_CMD_START;  // the bare head travels as START
    }
    ipc_copy_text(m.call_id, call_id);
    m.seq_no = seq;
    ipc_copy_text(m.src_addr, "192.0.2.1");
    m.src_port = k_port;
    ipc_copy_text(m.dst_addr, dst);
    return m;
}

ipc_msg_call peer_call(const char* id, int seq = 1, int codec = 97)
{
    auto c = from_peer<ipc_msg_call>(id, seq);
    c.data = own_data("192.0.2.1", codec);
    return c;
}

void deliver(unit& u, const ipc_message& m, const sockaddr_in& from = addr("192.0.2.1"))
{
    u->receive_datagram(ipc_parser::to_text(m), from);
}

// Hands every datagram `from` has sent to `to`, dropping the first `lose` of them.
int pump(unit& from, unit& to, int lose = 0)
{
    int n = 0;
    while (!from.net->sent.empty()) {
        const auto d = from.net->take();
        if (lose > 0) {
            --lose;
            continue;
        }
        to->receive_datagram(d.text, addr(from.address.c_str()));
        ++n;
    }
    return n;
}

// ---- caller ----

TEST(IpCallCaller, UnansweredCallIsResentEightTimesThenGivesUpWithTimeout)
{
    unit a("192.0.2.2");
    ASSERT_EQ(a->call("192.0.2.1"), 0);
    const auto call = a.net->take();
    EXPECT_EQ(call.to_addr(), "192.0.2.1");
    EXPECT_EQ(call.to_port(), k_port);
    const auto m = call.msg();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->command, IPC_CMD_CALL);
    EXPECT_EQ(m->seq_no, 1);
    EXPECT_EQ(std::string(m->call_id).size(), 8u);
    EXPECT_EQ(std::string(m->call_id).find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_STREQ(m->dst_addr, "192.0.2.1");
    EXPECT_STREQ(as<ipc_msg_call>(m).data.media_addr, "192.0.2.2");
    EXPECT_EQ(a.net->retry_ms, 1000);
    EXPECT_EQ(a->status(), ip_call::CALLING);

    for (int i = 0; i < ip_call::max_retries; ++i) {
        a->retry_timer_expired();
        EXPECT_EQ(a.net->take().text, call.text) << "resend " << i + 1;
    }
    EXPECT_EQ(a->status(), ip_call::CALLING);
    a->retry_timer_expired();
    const auto bye = a.net->take().msg();
    ASSERT_TRUE(bye);
    EXPECT_EQ(bye->command, IPC_CMD_DISCONNECT);
    EXPECT_STREQ(bye->call_id, m->call_id);
    EXPECT_EQ(a->status(), ip_call::IDLE);
    EXPECT_EQ(a.net->retry_ms, 0);
    const std::vector<status_change> expected = {{0, 1, 0}, {1, 0, 107}};
    EXPECT_EQ(a->changes, expected);
}

TEST(IpCallCaller, ResendsThatCannotBeSentStillRunOut)
{
    unit a("192.0.2.2");
    ASSERT_EQ(a->call("192.0.2.1"), 0);
    a.net->send_error = ENETUNREACH;
    for (int i = 0; i <= ip_call::max_retries; ++i) {
        a->retry_timer_expired();
    }
    EXPECT_EQ(a->status(), ip_call::IDLE);
    EXPECT_EQ(a->changes.back(), (status_change{1, 0, 107}));
}

TEST(IpCallCaller, RefusingAnswerEndsTheCallWithItsCode)
{
    for (int code : {100, 101, 102, 104, 106}) {
        unit a("192.0.2.2");
        ASSERT_EQ(a->call("192.0.2.1"), 0);
        const auto call = a.net->take().msg();
        auto rsp = from_peer<ipc_msg_call_rsp>(call->call_id, 2);
        rsp.result_code = code;
        deliver(a, rsp);
        EXPECT_EQ(a->status(), ip_call::IDLE) << code;
        EXPECT_EQ(a->changes.back(), (status_change{1, 0, code}));
        EXPECT_EQ(a.net->retry_ms, 0);
        EXPECT_TRUE(a.net->sent.empty());
    }
}

TEST(IpCallCaller, AcceptedAnswerWaitsForStartThenConnects)
{
    unit a("192.0.2.2");
    ASSERT_EQ(a->call("192.0.2.1"), 0);
    const auto call = a.net->take().msg();
    auto rsp = from_peer<ipc_msg_call_rsp>(call->call_id, 2);
    rsp.data = own_data("192.0.2.1", 100);
    deliver(a, rsp);
    EXPECT_EQ(a->status(), ip_call::CALLING);
    EXPECT_EQ(a.net->retry_ms, 0);
    EXPECT_EQ(a.net->start_ms, 10000);

    deliver(a, from_peer<ipc_message>(call->call_id, 3));
    const auto srsp = a.net->take().msg();
    ASSERT_TRUE(srsp);
    EXPECT_EQ(srsp->command, IPC_CMD_START_RSP);
    EXPECT_EQ(srsp->seq_no, 4);
    EXPECT_EQ(as<ipc_msg_start_rsp>(srsp).result_code, 0);
    EXPECT_EQ(a->status(), ip_call::CONNECT);
    EXPECT_EQ(a.net->start_ms, 0);
    ipc_connect_data local, remote;
    a->call_connect_data(local, remote);
    EXPECT_EQ(remote.codec, 100);
    EXPECT_STREQ(remote.media_addr, "192.0.2.1");
}

TEST(IpCallCaller, NoStartWithinTheWaitDisconnects)
{
    unit a("192.0.2.2");
    ASSERT_EQ(a->call("192.0.2.1"), 0);
    const auto call = a.net->take().msg();
    deliver(a, from_peer<ipc_msg_call_rsp>(call->call_id, 2));
    a->start_timer_expired();
    const auto bye = a.net->take().msg();
    ASSERT_TRUE(bye);
    EXPECT_EQ(bye->command, IPC_CMD_DISCONNECT);
    EXPECT_EQ(a->status(), ip_call::DISCONNECTING);
    EXPECT_EQ(a.net->retry_ms, 1000);
    a->retry_timer_expired();
    EXPECT_EQ(a.net->take().msg()->command, IPC_CMD_DISCONNECT);
    auto drsp = from_peer<ipc_msg_disconnect_rsp>(call->call_id, bye->seq_no + 1);
    deliver(a, drsp);
    EXPECT_EQ(a->status(), ip_call::IDLE);
    EXPECT_EQ(a->changes.back(), (status_change{4, 0, 0}));
}

TEST(IpCallCaller, StartBeforeAnyAcceptedAnswerIsIgnored)
{
    unit a("192.0.2.2");
    ASSERT_EQ(a->call("192.0.2.1"), 0);
    const auto call = a.net->take().msg();
    deliver(a, from_peer<ipc_message>(call->call_id, 3));
    EXPECT_EQ(a->status(), ip_call::CALLING);
    EXPECT_TRUE(a.net->sent.empty());
    EXPECT_EQ(a->connect_calls, 0);
}

TEST(IpCallCaller, AnswerOfAnotherCallLeavesThisCallAlone)
{
    unit a("192.0.2.2");
    ASSERT_EQ(a->call("192.0.2.1"), 0);
    const auto call = a.net->take().msg();
    deliver(a, from_peer<ipc_msg_call_rsp>("STRAY001", 5));
    const auto bye = a.net->take().msg();
    ASSERT_TRUE(bye);
    EXPECT_EQ(bye->command, IPC_CMD_DISCONNECT);
    EXPECT_STREQ(bye->call_id, "STRAY001");
    EXPECT_EQ(bye->seq_no, 6);
    EXPECT_EQ(a->status(), ip_call::CALLING);
    a->retry_timer_expired();
    EXPECT_EQ(a.net->take().msg()->command, IPC_CMD_CALL);  // still calling
}

TEST(IpCallCaller, DuplicateAnswerAfterConnectIsDropped)
{
    unit a("192.0.2.2");
    ASSERT_EQ(a->call("192.0.2.1"), 0);
    const auto call = a.net->take().msg();
    const auto rsp = from_peer<ipc_msg_call_rsp>(call->call_id, 2);
    deliver(a, rsp);
    deliver(a, from_peer<ipc_message>(call->call_id, 3));
    a.net->sent.clear();
    ASSERT_EQ(a->status(), ip_call::CONNECT);
    deliver(a, rsp);
    EXPECT_EQ(a->status(), ip_call::CONNECT);
    EXPECT_TRUE(a.net->sent.empty());
}

TEST(IpCallCaller, LateAnswerAfterGivingUpEndsThePeerButStaysIdle)
{
    unit a("192.0.2.2");
    ASSERT_EQ(a->call("192.0.2.1"), 0);
    const auto call = a.net->take().msg();
    for (int i = 0; i <= ip_call::max_retries; ++i) {
        a->retry_timer_expired();
    }
    a.net->sent.clear();
    ASSERT_EQ(a->status(), ip_call::IDLE);
    deliver(a, from_peer<ipc_msg_call_rsp>(call->call_id, 2));
    EXPECT_EQ(a.net->take().msg()->command, IPC_CMD_DISCONNECT);
    EXPECT_EQ(a->status(), ip_call::IDLE);
}

// A caller that refuses the callee's answer must not wait for ever on one DISCONNECT.
class refusing_caller : public recording_call {
public:
    using recording_call::recording_call;

protected:
    int on_connection_data_offered(const ipc_connect_data&, ipc_connect_data* answer, const sockaddr_in*,
                                   const char*) override
    {
        return answer ? 0 : IPC_RESULT_INVALID_SETTING;
    }
};

TEST(IpCallCaller, RefusedAnswerDisconnectsWithResends)
{
    auto t = std::make_unique<fake_transport>();
    fake_transport* net = t.get();
    refusing_caller a(own_data(""), "192.0.2.2", "", std::move(t));
    ASSERT_EQ(a.call("192.0.2.1"), 0);
    const auto call = net->take().msg();
    a.receive_datagram(ipc_parser::to_text(from_peer<ipc_msg_call_rsp>(call->call_id, 2)), addr("192.0.2.1"));
    EXPECT_EQ(net->take().msg()->command, IPC_CMD_DISCONNECT);
    EXPECT_EQ(a.status(), ip_call::DISCONNECTING);
    for (int i = 0; i <= ip_call::max_retries; ++i) {
        a.retry_timer_expired();
    }
    EXPECT_EQ(a.status(), ip_call::IDLE);
}

struct call_refusal {
    const char* what;
    std::string local;
    bool busy;
    int expected;
};

TEST(IpCallCaller, CallIsRefusedWhenItCannotBePlaced)
{
    const call_refusal cases[] = {
        {"not idle", "192.0.2.2", true, 1},
        {"no own address", "", false, 2},
    };
    for (const auto& c : cases) {
        unit a(c.local.c_str());
        if (c.busy) {
            ASSERT_EQ(a->call("192.0.2.1"), 0);
            a.net->sent.clear();
        }
        EXPECT_EQ(a->call("192.0.2.3"), c.expected) << c.what;
        EXPECT_TRUE(a.net->sent.empty()) << c.what;
    }
    unit a("192.0.2.2");
    a.net->send_error = EHOSTUNREACH;
    EXPECT_EQ(a->call("192.0.2.1"), -EHOSTUNREACH);
    EXPECT_EQ(a->status(), ip_call::IDLE);
    EXPECT_TRUE(a->changes.empty());
}

// ---- callee ----

TEST(IpCallCallee, AcceptedCallIsAnsweredThenStartedThenConnected)
{
    unit b("192.0.2.2");
    auto call = peer_call("CAFE0001");
    call.data.video_mode = 1;
    call.data.ctrl_enable = true;
    deliver(b, call);
    const auto rsp = b.net->take().msg();
    ASSERT_TRUE(rsp);
    ASSERT_EQ(rsp->command, IPC_CMD_CALL_RSP);
    EXPECT_STREQ(rsp->call_id, "CAFE0001");
    EXPECT_EQ(rsp->seq_no, 2);
    EXPECT_STREQ(rsp->dst_addr, "192.0.2.1");
    EXPECT_STREQ(rsp->contact_addr, "");
    const auto& answer = as<ipc_msg_call_rsp>(rsp);
    EXPECT_EQ(answer.result_code, 0);
    EXPECT_STREQ(answer.result_text, "OK");
    EXPECT_STREQ(answer.data.media_addr, "192.0.2.2");
    EXPECT_EQ(b->status(), ip_call::INCOMING);

    ASSERT_EQ(b->send_start(b->peer()), 0);
    const auto start = b.net->take();
    EXPECT_EQ(start.to_addr(), "192.0.2.1");
    EXPECT_EQ(start.msg()->command, IPC_CMD_START);
    EXPECT_EQ(start.msg()->seq_no, 3);
    EXPECT_EQ(b.net->retry_ms, 1000);
    b->retry_timer_expired();
    EXPECT_EQ(b.net->take().text, start.text);

    auto srsp = from_peer<ipc_msg_start_rsp>("CAFE0001", 4);
    deliver(b, srsp);
    EXPECT_EQ(b->status(), ip_call::CONNECT);
    EXPECT_EQ(b.net->retry_ms, 0);
    EXPECT_EQ(b->connect_calls, 1);
    const std::vector<status_change> expected = {{0, 2, 0}, {2, 3, 0}};
    EXPECT_EQ(b->changes, expected);
}

TEST(IpCallCallee, SecondCallerIsBusy)
{
    unit b("192.0.2.2");
    deliver(b, peer_call("CAFE0001"));
    b.net->sent.clear();
    auto other = peer_call("BEEF0002");
    ipc_copy_text(other.src_addr, "192.0.2.9");
    deliver(b, other, addr("192.0.2.9"));
    const auto d = b.net->take();
    EXPECT_EQ(d.to_addr(), "192.0.2.9");
    const auto rsp = d.msg();
    EXPECT_EQ(as<ipc_msg_call_rsp>(rsp).result_code, 100);
    EXPECT_STREQ(as<ipc_msg_call_rsp>(rsp).result_text, "BUSY");
    EXPECT_STREQ(rsp->call_id, "BEEF0002");
    EXPECT_EQ(b->status(), ip_call::INCOMING);
    EXPECT_EQ(b->changes.size(), 1u);
}

TEST(IpCallCallee, RefusedCallEchoesTheOffer)
{
    struct refusal {
        int incoming_code;
        int codec;
        int expected;
    };
    const refusal cases[] = {{0, 98, 104}, {101, 97, 101}, {102, 97, 102}};
    for (const auto& c : cases) {
        unit b("192.0.2.2");
        b->incoming_code = c.incoming_code;
        const auto call = peer_call("CAFE0001", 1, c.codec);
        deliver(b, call);
        const auto rsp = b.net->take().msg();
        ASSERT_TRUE(rsp);
        EXPECT_EQ(as<ipc_msg_call_rsp>(rsp).result_code, c.expected);
        EXPECT_STREQ(as<ipc_msg_call_rsp>(rsp).result_text, ipc_result_text(c.expected));
        EXPECT_EQ(as<ipc_msg_call_rsp>(rsp).data, call.data);
        EXPECT_EQ(b->status(), ip_call::IDLE);
        EXPECT_TRUE(b->changes.empty());
    }
}

struct answer_case {
    const char* what;
    int video_mode;
    bool v_tcp_active;
    bool ctrl_enable;
    bool c_tcp_active;
    int expected_video_mode;
    bool expected_v_tcp_active;
    bool expected_c_tcp_active;
};

TEST(IpCallCallee, DefaultAnswerMirrorsTheOffer)
{
    // The callee's own data: no video, V-TCP-ACTIVE 0, C-TCP-ACTIVE 1.
    const answer_case cases[] = {
        {"no video keeps own tcp flag", 0, true, false, false, 0, false, true},
        {"peer sends video: we receive and connect", 1, false, false, false, 2, true, true},
        {"peer receives video: we send and listen", 2, true, false, false, 1, false, true},
        {"odd mode counts as sending", 7, true, false, false, 1, false, true},
        {"control link inverts the opener", 0, false, true, true, 0, false, false},
        {"control link, peer listens", 0, false, true, false, 0, false, true},
    };
    for (const auto& c : cases) {
        unit b("192.0.2.2");
        auto call = peer_call("CAFE0001", 1, 100);
        call.data.video_mode = c.video_mode;
        call.data.v_tcp_active = c.v_tcp_active;
        call.data.ctrl_enable = c.ctrl_enable;
        call.data.c_tcp_active = c.c_tcp_active;
        call.data.incom_enable = true;
        ipc_copy_text(call.data.codec_option, "opt");
        call.data.gpio = 4;
        deliver(b, call);
        const auto rsp = b.net->take().msg();
        ASSERT_TRUE(rsp) << c.what;
        const auto& a = as<ipc_msg_call_rsp>(rsp).data;
        EXPECT_EQ(a.video_mode, c.expected_video_mode) << c.what;
        EXPECT_EQ(a.v_tcp_active, c.expected_v_tcp_active) << c.what;
        EXPECT_EQ(a.ctrl_enable, c.ctrl_enable) << c.what;
        EXPECT_EQ(a.c_tcp_active, c.expected_c_tcp_active) << c.what;
        EXPECT_TRUE(a.incom_enable) << c.what;
        EXPECT_EQ(a.codec, 100) << c.what;
        EXPECT_STREQ(a.codec_option, "opt") << c.what;
        EXPECT_EQ(a.gpio, 2) << c.what;  // the callee's own count
        EXPECT_EQ(a.audio_port, 15000) << c.what;
        EXPECT_STREQ(a.media_addr, "192.0.2.2") << c.what;  // where the caller reached us
    }
}

TEST(IpCallCallee, AnswerTakesTheDialledAddressOnlyWhenItIsAnAddress)
{
    const std::pair<const char*, const char*> cases[] = {
        {"198.51.100.20", "198.51.100.20"},
        {"", "192.0.2.2"},
        {"unit.example", "192.0.2.2"},
    };
    for (const auto& [dst, media] : cases) {
        unit b("192.0.2.2");
        auto call = peer_call("CAFE0001");
        ipc_copy_text(call.dst_addr, dst);
        deliver(b, call);
        const auto rsp = b.net->take().msg();
        ASSERT_TRUE(rsp) << dst;
        EXPECT_STREQ(as<ipc_msg_call_rsp>(rsp).data.media_addr, media) << dst;
    }
}

// A hook that throws (a configuration read, a full memory) costs one datagram, not the engine.
class throwing_call : public recording_call {
public:
    using recording_call::recording_call;

protected:
    int on_incoming(const ipc_msg_call&) override { throw std::runtime_error("hook failed"); }
};

TEST(IpCallCallee, AHookThatThrowsDropsOnlyItsDatagram)
{
    auto t = std::make_unique<fake_transport>();
    fake_transport* net = t.get();
    throwing_call b(own_data(""), "192.0.2.2", "", std::move(t));
    EXPECT_NO_THROW(b.receive_datagram(ipc_parser::to_text(peer_call("CAFE0001")), addr("192.0.2.1")));
    EXPECT_EQ(b.status(), ip_call::IDLE);
    EXPECT_TRUE(net->sent.empty());
    b.receive_datagram(ipc_parser::to_text(from_peer<ipc_msg_disconnect>("CAFE0001", 2)), addr("192.0.2.1"));
    EXPECT_EQ(net->take().msg()->command, IPC_CMD_DISCONNECT_RSP);
}

TEST(IpCallCallee, RepeatedCallIsAnsweredAgainWithoutANewState)
{
    for (auto state : {ip_call::INCOMING, ip_call::CONNECT, ip_call::DISCONNECTING}) {
        unit b("192.0.2.2");
        const auto call = peer_call("CAFE0001");
        deliver(b, call);
        const auto first = b.net->take().msg();
        if (state != ip_call::INCOMING) {
            b->send_start(b->peer());
            deliver(b, from_peer<ipc_msg_start_rsp>("CAFE0001", 4));
        }
        if (state == ip_call::DISCONNECTING) {
            b->disconnect();
        }
        b.net->sent.clear();
        ASSERT_EQ(b->status(), state);
        const auto changes = b->changes;
        deliver(b, call);
        const auto again = b.net->take().msg();
        ASSERT_TRUE(again) << state;
        EXPECT_EQ(again->command, IPC_CMD_CALL_RSP);
        EXPECT_EQ(as<ipc_msg_call_rsp>(again).result_code, 0) << state;
        EXPECT_EQ(as<ipc_msg_call_rsp>(again).data, as<ipc_msg_call_rsp>(first).data) << state;
        EXPECT_EQ(b->status(), state);
        EXPECT_EQ(b->changes, changes) << state;
        EXPECT_TRUE(b.net->sent.empty());
    }
}

TEST(IpCallCallee, StartForAnUnknownCallIsUnacceptable)
{
    unit b("192.0.2.2");
    deliver(b, from_peer<ipc_message>("NOSUCH01", 3));
    const auto rsp = b.net->take().msg();
    ASSERT_TRUE(rsp);
    EXPECT_EQ(rsp->command, IPC_CMD_START_RSP);
    EXPECT_EQ(as<ipc_msg_start_rsp>(rsp).result_code, 106);
    EXPECT_STREQ(as<ipc_msg_start_rsp>(rsp).result_text, "UNACCEPTABLE");
}

TEST(IpCallCallee, StartIsOnlySentForAnIncomingCall)
{
    unit b("192.0.2.2");
    EXPECT_EQ(b->send_start(b->peer()), -ENOTCONN);
    EXPECT_TRUE(b.net->sent.empty());
    EXPECT_EQ(b.net->retry_ms, 0);
}

TEST(IpCallCallee, ContactAddressRoutesTheAnswer)
{
    struct route_case {
        const char* contact;
        const char* reply_to;
        const char* rsp_contact;
    };
    const route_case cases[] = {
        {"198.51.100.7", "198.51.100.7", "192.0.2.2"},
        {"not-an-address", "192.0.2.1", "192.0.2.2"},
        {"", "192.0.2.1", ""},
    };
    for (const auto& c : cases) {
        unit b("192.0.2.2");
        auto call = peer_call("CAFE0001");
        ipc_copy_text(call.contact_addr, c.contact);
        deliver(b, call, addr("192.0.2.1", 40000));
        const auto d = b.net->take();
        EXPECT_EQ(d.to_addr(), c.reply_to) << c.contact;
        EXPECT_EQ(d.to_port(), 40000) << c.contact;
        EXPECT_STREQ(d.msg()->contact_addr, c.rsp_contact) << c.contact;
        // The call's later requests go where its answer went.
        b->send_start(b->peer());
        EXPECT_EQ(b.net->take().to_addr(), c.reply_to) << c.contact;
    }
}

TEST(IpCallCallee, ADatagramThatIsNoMessageIsDroppedAndServiceGoesOn)
{
    unit b("192.0.2.2");
    std::string bad = ipc_parser::to_string(peer_call("CAFE0001"));
    bad.replace(bad.find("SEQ-NO.:1"), 9, "SEQ-NO.:x");
    b->receive_datagram(bad, addr("192.0.2.1"));
    b->receive_datagram(std::string("\0\0garbage", 9), addr("192.0.2.1"));
    b->receive_datagram("", addr("192.0.2.1"));
    EXPECT_TRUE(b.net->sent.empty());
    EXPECT_EQ(b->status(), ip_call::IDLE);
    deliver(b, peer_call("CAFE0001"));
    EXPECT_EQ(b->status(), ip_call::INCOMING);
}

// ---- ending calls ----

TEST(IpCallEnd, DisconnectIsAnsweredForAnyCall)
{
    unit b("192.0.2.2");
    deliver(b, from_peer<ipc_message>("NEVER001", 9));  // START, refused with 106
    b.net->sent.clear();
    auto bye = from_peer<ipc_msg_disconnect>("NEVER002", 4);
    deliver(b, bye);
    const auto rsp = b.net->take().msg();
    ASSERT_TRUE(rsp);
    EXPECT_EQ(rsp->command, IPC_CMD_DISCONNECT_RSP);
    EXPECT_EQ(as<ipc_msg_disconnect_rsp>(rsp).result_code, 0);
    EXPECT_EQ(rsp->seq_no, 5);
}

TEST(IpCallEnd, PeerDisconnectEndsTheCall)
{
    unit b("192.0.2.2");
    deliver(b, peer_call("CAFE0001"));
    deliver(b, from_peer<ipc_msg_disconnect>("CAFE0001", 3));
    EXPECT_EQ(b->status(), ip_call::IDLE);
    b.net->take();
    EXPECT_EQ(b.net->take().msg()->command, IPC_CMD_DISCONNECT_RSP);
    // A stale DISCONNECT (lower sequence number) of a live call is dropped.
    deliver(b, peer_call("CAFE0002", 5));
    b.net->sent.clear();
    deliver(b, from_peer<ipc_msg_disconnect>("CAFE0002", 2));
    EXPECT_EQ(b->status(), ip_call::INCOMING);
    EXPECT_TRUE(b.net->sent.empty());
}

TEST(IpCallEnd, OwnDisconnectIsResentUntilAnsweredOrGivenUp)
{
    unit a("192.0.2.2");
    EXPECT_EQ(a->disconnect(), -1);
    ASSERT_EQ(a->call("192.0.2.1"), 0);
    a.net->sent.clear();
    ASSERT_EQ(a->disconnect(), 0);
    EXPECT_EQ(a->status(), ip_call::DISCONNECTING);
    const auto bye = a.net->take();
    for (int i = 0; i < ip_call::max_retries; ++i) {
        a->retry_timer_expired();
        EXPECT_EQ(a.net->take().text, bye.text);
    }
    a->retry_timer_expired();
    EXPECT_EQ(a->status(), ip_call::IDLE);
    EXPECT_EQ(a->changes.back(), (status_change{4, 0, 107}));

    unit c("192.0.2.2");
    ASSERT_EQ(c->call("192.0.2.1"), 0);
    c.net->send_error = ENETDOWN;
    EXPECT_EQ(c->disconnect(), -ENETDOWN);
    EXPECT_EQ(c->status(), ip_call::IDLE);
}

// ---- two engines back to back ----

TEST(IpCallPair, CallStartDisconnect)
{
    unit a("192.0.2.2"), b("192.0.2.1");
    ASSERT_EQ(a->call("192.0.2.1"), 0);
    pump(a, b);  // CALL
    pump(b, a);  // CALL-RSP
    ASSERT_EQ(b->send_start(b->peer()), 0);
    pump(b, a);  // START
    pump(a, b);  // START-RSP
    EXPECT_EQ(a->status(), ip_call::CONNECT);
    EXPECT_EQ(b->status(), ip_call::CONNECT);
    ASSERT_EQ(b->disconnect(), 0);
    pump(b, a);
    pump(a, b);
    EXPECT_EQ(a->status(), ip_call::IDLE);
    EXPECT_EQ(b->status(), ip_call::IDLE);
}

TEST(IpCallPair, OneLostStartAnswerNoLongerDropsTheCall)
{
    unit a("192.0.2.2"), b("192.0.2.1");
    ASSERT_EQ(a->call("192.0.2.1"), 0);
    pump(a, b);
    pump(b, a);
    b->send_start(b->peer());
    pump(b, a);
    pump(a, b, 1);  // START-RSP lost
    EXPECT_EQ(a->status(), ip_call::CONNECT);
    EXPECT_EQ(b->status(), ip_call::INCOMING);
    b->retry_timer_expired();  // START again
    pump(b, a);
    pump(a, b);
    EXPECT_EQ(b->status(), ip_call::CONNECT);
    EXPECT_EQ(a->status(), ip_call::CONNECT);
}

TEST(IpCallPair, LostCallAnswerStillConnectsOnTheResentCall)
{
    unit a("192.0.2.2"), b("192.0.2.1");
    ASSERT_EQ(a->call("192.0.2.1"), 0);
    pump(a, b);
    pump(b, a, 1);  // CALL-RSP lost
    b->send_start(b->peer());
    pump(b, a);  // START before any answer: ignored
    EXPECT_EQ(a->status(), ip_call::CALLING);
    a->retry_timer_expired();  // CALL again
    pump(a, b);
    pump(b, a);  // CALL-RSP
    b->retry_timer_expired();  // START again
    pump(b, a);
    pump(a, b);
    EXPECT_EQ(a->status(), ip_call::CONNECT);
    EXPECT_EQ(b->status(), ip_call::CONNECT);
    EXPECT_EQ(b->changes.size(), 2u);  // INCOMING once, then CONNECT
}

// ---- settings ----

TEST(IpCallSettings, OwnDataAndAddresses)
{
    unit u("192.0.2.2");
    EXPECT_STREQ(u->own_connect_data().media_addr, "192.0.2.2");
    u->set_contact_address("198.51.100.5");
    EXPECT_EQ(u->get_external_addr(), "198.51.100.5");
    EXPECT_STREQ(u->own_connect_data().media_addr, "198.51.100.5");
    u->set_contact_address("nat.example");
    EXPECT_EQ(u->get_external_addr(), "192.0.2.2");
    u->update_address("192.0.2.7");
    EXPECT_STREQ(u->own_connect_data().media_addr, "192.0.2.7");
    EXPECT_EQ(u->get_ip_addr(), "192.0.2.7");

    struct data_case {
        int gpio;
        int codec;
        bool accepted;
    };
    const data_case cases[] = {{0, 97, true}, {2, 0, true}, {4, 100, true}, {3, 97, false}, {2, 98, false}};
    for (const auto& c : cases) {
        ipc_connect_data d = own_data("");
        d.gpio = c.gpio;
        d.codec = c.codec;
        EXPECT_EQ(u->default_connect_data(d), c.accepted) << c.gpio << " " << c.codec;
    }
    EXPECT_EQ(u->own_connect_data().codec, 100);
    EXPECT_STREQ(u->own_connect_data().media_addr, "192.0.2.7");
}

TEST(IpCallSettings, PortChangeThatCannotBindKeepsTheOldPort)
{
    unit u("192.0.2.2");
    EXPECT_TRUE(u->port(23600));
    EXPECT_EQ(u.net->bound, 23600);
    u.net->refuse_port = 23700;
    EXPECT_FALSE(u->port(23700));
    EXPECT_EQ(u.net->bound, 23600);
    EXPECT_EQ(u->port(), 23600);
}

TEST(IpCallSettings, StatusTexts)
{
    const char* texts[] = {"IDLE", "CALLING", "INCOMING", "CONNECT", "DISCONNECTING", "unknown"};
    for (int s = 0; s <= 5; ++s) {
        EXPECT_STREQ(ip_call::status_text(s), texts[s]);
    }
    EXPECT_STREQ(ip_call::result_code_to_text(107), "TIMEOUT");
}

}  // namespace
