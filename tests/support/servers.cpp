// The servers the tests start on loopback: the project's own HTTP(S) server,
// Icecast and nginx through their keeper, a throw-away CA, and a plain GET.
#include "run.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

TestServer::TestServer(const std::string &args) {
    std::string command = "exec " + std::string(PYTHON_BIN) + " " + HTTP_SERVER + " " + args;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr || fscanf(pipe, "%d %d", &port, &pid) != 2) {
        ADD_FAILURE() << "test server did not start: " << args;
    }
    // The server keeps running; its end of the pipe is simply left behind.
    if (pipe != nullptr) {
        static std::vector<FILE *> keep;
        keep.push_back(pipe);
    }
}

TestServer::~TestServer() {
    if (pid > 0) {
        kill(pid, SIGTERM);
    }
}

RealServer::RealServer(const std::string &kind, const std::string &words) {
    std::string root = servers_root();
    std::string command = "exec " + std::string(PYTHON_BIN) + " " + REAL_SERVER + " " + kind +
                          (root.empty() ? "" : " --under " + shell_quote(root)) + " " + words;
    pipe_ = popen(command.c_str(), "r");
    if (pipe_ == nullptr || fscanf(pipe_, "%d %d %d", &port, &tls_port, &keeper) != 3) {
        ADD_FAILURE() << kind << " did not start (its log is above)";
    }
}

RealServer::~RealServer() {
    if (keeper > 0) {
        kill(keeper, SIGTERM);
    }
    if (pipe_ != nullptr) {
        pclose(pipe_); // the keeper ends once the server has stopped
    }
}

void make_test_ca(const std::string &dir) {
    RunResult r = run_shell(
        "set -e; openssl() { " + shell_quote(OPENSSL_BIN) + " \"$@\"; }; cd " + shell_quote(dir) +
        "; openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
        "-keyout ca.key -out ca.pem -days 2 -subj /CN=o2w-test-ca 2>/dev/null;"
        "openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
        "-keyout server.key -out server.csr -subj /CN=localhost 2>/dev/null;"
        "printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\\n' > ext.cnf;"
        "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial "
        "-out server.pem -days 2 -extfile ext.cnf 2>/dev/null;"
        // The CA's key has signed what it had to: it is not kept.
        "rm -f ca.key ca.srl server.csr");
    ASSERT_EQ(r.status, 0) << r.err;
}

std::string http_get(int port, const std::string &path) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return "";
    }
    struct sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string response;
    if (connect(fd, reinterpret_cast<struct sockaddr *>(&address), sizeof address) == 0) {
        std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
            char buffer[4096];
            ssize_t n;
            while ((n = read(fd, buffer, sizeof buffer)) > 0) {
                response.append(buffer, static_cast<size_t>(n));
            }
        }
    }
    close(fd);
    return response;
}
