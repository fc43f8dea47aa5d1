// The system's socket headers, whichever the platform: the one place that
// knows where inet_pton, getaddrinfo and sockaddr_in come from.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif
