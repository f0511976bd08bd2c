#pragma once
// Non-blocking TCP and UDP socket helpers for threads that must stay responsive to their end
// flag. Every call that may wait takes that flag as its cancel flag and gives up within about
// a second once it is set, returning -2 with errno ECANCELED. Nothing here throws.

#include <atomic>
#include <netinet/in.h>

// The IP type-of-service byte itself.
enum nb_tos_media_type : unsigned char {
    nb_tos_default = 0,
    nb_tos_media = 128,  // media and control sockets
};

using nb_cancel_flag = std::atomic<bool>;

// socket() switched to non-blocking with SO_REUSEADDR and the keep-alive settings. Returns the
// descriptor or socket's negative result.
int nb_socket(int domain, int type, int protocol);
int nb_reuse_addr(int fd);
// FIONBIO on (true) or off.
int nb_set_block(int fd, bool non_blocking);
int nb_set_tos(int fd, nb_tos_media_type tos);
// SO_KEEPALIVE with idle 2 s, interval 2 s, 2 probes. Returns 0.
int nb_set_keepalive(int fd);

// 0 connected, -1 failed (errno of the socket), -2 cancelled.
int nb_connect(int fd, const sockaddr_in* address, const nb_cancel_flag& cancel);
// The accepted descriptor (non-blocking), or -2 cancelled.
int nb_accept(int listen_fd, sockaddr_in* peer, const nb_cancel_flag& cancel);
// All `length` bytes sent: the count; -1 socket error; -2 cancelled. Never raises SIGPIPE.
int nb_send(int fd, const void* data, unsigned length, int flags, const nb_cancel_flag& cancel);
// Bytes received (at least 1); -1 socket error, also -1 with ECONNRESET when the peer has
// closed the connection; -2 cancelled. A datagram of 0 bytes is skipped.
int nb_recv(int fd, void* buffer, unsigned size, int flags, const nb_cancel_flag& cancel);
