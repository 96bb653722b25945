#pragma once

// The transport's log texts and results, shared by both socket layers.
namespace Norvik::Ports::Texts {

inline constexpr const wchar_t* createServer = L"Create server";
inline constexpr const wchar_t* clientConnected = L"Client has connected on port %d";
inline constexpr const wchar_t* receiveFailed = L"Ошибка при получении данных %d - %ls";
inline constexpr const wchar_t* sendFailed = L"Ошибка при отправке данных WSAGetLastError %d";
inline constexpr const wchar_t* listenFailed = L"Can't listen on port %d: %ls";
inline constexpr const wchar_t* listenFailedCode = L"Can't listen on port %d: error %d";
inline constexpr const wchar_t* receiveThreadFailed = L"Can't start the receive thread of the client on port %d";
inline constexpr const wchar_t* acceptFailed = L"Can't accept a connection on port %d: %ls";
inline constexpr const wchar_t* acceptFailedCode = L"Can't accept a connection on port %d: error %d";
inline constexpr const wchar_t* acceptResumed = L"Accepting connections on port %d again after %d failed attempts";
inline constexpr const wchar_t* clientRefused =
    L"Client on port %d refused: %d connections are open, the most the server keeps";
inline constexpr const wchar_t* refusalsEnded = L"Below %d connections again; clients refused meanwhile: %d";
inline constexpr const wchar_t* idleClientGivenUp =
    L"Connection on port %d closed for a new client: %d connections are open, the most the server keeps, and it "
    L"had sent nothing for the longest time (%d s) (%d more such connections closed since the last line)";
inline constexpr const wchar_t* answersUnread =
    L"Connection on port %d closed: its client has not taken its answer for %d s (%d more such connections "
    L"closed since the last line)";

} // namespace Norvik::Ports::Texts

namespace Norvik::Ports {
// What a failed send returns, as Winsock's SOCKET_ERROR.
inline constexpr int socketError = -1;
} // namespace Norvik::Ports
