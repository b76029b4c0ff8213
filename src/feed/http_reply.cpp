#include "feed/http_reply.h"

#include <algorithm>

#include "feed/ascii_text.h"
#include "feed/feed_address.h"

namespace qv {

namespace {

constexpr size_t kMaxChunkLine = 1024;
// The Internet client library sends "QuorvexPKSV/1.0"; this route says which it is.
constexpr char kUserAgent[] = "QuorvexPKSV/1.0 (socket)";

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool HasLineBreak(std::string_view s) {
  return s.find('\r') != std::string_view::npos || s.find('\n') != std::string_view::npos;
}

}  // namespace

std::optional<std::string> EncodeRequestPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F) {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    } else {
      out.push_back(ch);
    }
    if (out.size() > kMaxRequestPath) return std::nullopt;
  }
  return out;
}

std::optional<std::string> BuildHttpRequest(const HttpTarget& target, const HttpProxy& proxy) {
  const std::optional<std::string> path = EncodeRequestPath(target.path);
  if (!path) return std::nullopt;
  std::string host = target.host;
  if (target.port != 80) host.append(":").append(std::to_string(target.port));
  std::string request = "GET ";
  if (proxy.use) request.append("http://").append(host);
  request.append("/").append(*path).append(" HTTP/1.0\r\n");
  request.append("Host: ").append(host).append("\r\n");
  request.append("User-Agent: ").append(kUserAgent).append("\r\n");
  request.append("Connection: close\r\n");
  if (proxy.use && proxy.authenticate) {
    if (HasLineBreak(proxy.login) || HasLineBreak(proxy.password)) return std::nullopt;
    request.append("Proxy-Authorization: Basic ")
        .append(Base64Coder(proxy.login + ":" + proxy.password))
        .append("\r\n");
  }
  request.append("\r\n");
  return request;
}

bool HttpReplyParser::TakeLine(std::string_view& bytes, std::string& line) {
  const size_t nl = bytes.find('\n');
  const std::string_view part = bytes.substr(0, nl);
  // Status, headers and trailer share the header allowance; a chunk's framing (its size
  // line and the line break after its data) counts against the body cap with the body.
  const bool header = m_state == State::Status || m_state == State::Headers || m_state == State::Trailer;
  const size_t limit = header ? kMaxReplyHeaderBytes - std::min(m_headerBytes, kMaxReplyHeaderBytes)
                              : kMaxChunkLine;
  if (m_line.size() + part.size() > limit ||
      (!header && m_line.size() + part.size() > m_maxBody - std::min(m_maxBody, m_body.size() + m_framingBytes))) {
    Fail();
    return false;
  }
  m_line.append(part);
  if (nl == std::string_view::npos) {
    bytes = {};
    return false;
  }
  bytes.remove_prefix(nl + 1);
  if (header) m_headerBytes += m_line.size() + 1;
  else m_framingBytes += m_line.size() + 1;
  if (!m_line.empty() && m_line.back() == '\r') m_line.pop_back();
  line.swap(m_line);
  m_line.clear();
  return true;
}

bool HttpReplyParser::HeaderLine(const std::string& line) {
  const size_t colon = line.find(':');
  if (colon == std::string::npos) return true;  // not a field: ignored
  const std::string_view name = Trim(std::string_view(line).substr(0, colon));
  const std::string_view value = Trim(std::string_view(line).substr(colon + 1));
  if (EqualsNoCase(name, "transfer-encoding")) {
    if (EqualsNoCase(value, "chunked")) m_bChunked = true;
    else if (!EqualsNoCase(value, "identity")) return false;  // a coding we cannot undo
  } else if (EqualsNoCase(name, "content-length")) {
    if (value.empty() || value.size() > 18) return false;
    uint64_t n = 0;
    for (char c : value) {
      if (c < '0' || c > '9') return false;
      n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    if (m_contentLength && *m_contentLength != n) return false;
    m_contentLength = n;
  } else if (EqualsNoCase(name, "content-encoding")) {
    if (!EqualsNoCase(value, "identity")) return false;
  }
  return true;
}

bool HttpReplyParser::Append(std::string_view bytes) {
  if (bytes.size() > m_maxBody - m_body.size()) {
    Fail();
    return false;
  }
  m_body.append(bytes);
  return true;
}

HttpReplyParser::State HttpReplyParser::Feed(std::string_view bytes) {
  std::string line;
  while (!bytes.empty() && m_state != State::Done && m_state != State::Failed) {
    switch (m_state) {
      case State::Status: {
        if (!TakeLine(bytes, line)) break;
        // "HTTP/x.y NNN reason"
        if (line.compare(0, 5, "HTTP/") != 0) return Fail();
        const size_t space = line.find(' ');
        if (space == std::string::npos || line.size() < space + 4) return Fail();
        int code = 0;
        for (size_t i = space + 1; i < space + 4; ++i) {
          if (line[i] < '0' || line[i] > '9') return Fail();
          code = code * 10 + (line[i] - '0');
        }
        m_nStatus = code;
        if (code < 200 || code > 299) return Fail();
        m_state = State::Headers;
        break;
      }
      case State::Headers:
        if (!TakeLine(bytes, line)) break;
        if (!line.empty()) {
          if (!HeaderLine(line)) return Fail();
          break;
        }
        if (m_bChunked) {
          m_contentLength.reset();
          m_state = State::ChunkSize;
        } else if (m_contentLength) {
          if (*m_contentLength > m_maxBody) return Fail();
          m_state = *m_contentLength == 0 ? State::Done : State::Body;
        } else {
          m_state = State::Body;
        }
        break;
      case State::Body: {
        std::string_view take = bytes;
        if (m_contentLength) take = take.substr(0, *m_contentLength - m_body.size());
        if (!Append(take)) return m_state;
        bytes.remove_prefix(take.size());
        if (m_contentLength && m_body.size() == *m_contentLength) m_state = State::Done;
        break;
      }
      case State::ChunkSize: {
        if (!TakeLine(bytes, line)) break;
        const std::string_view digits = Trim(std::string_view(line).substr(0, line.find(';')));
        if (digits.empty() || digits.size() > 15) return Fail();
        uint64_t n = 0;
        for (char c : digits) {
          int d;
          if (c >= '0' && c <= '9') d = c - '0';
          else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
          else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
          else return Fail();
          n = n << 4 | static_cast<uint64_t>(d);
        }
        if (n > m_maxBody - m_body.size()) return Fail();
        m_chunkLeft = n;
        m_state = n == 0 ? State::Trailer : State::ChunkData;
        break;
      }
      case State::ChunkData: {
        const std::string_view take = bytes.substr(0, m_chunkLeft);
        if (!Append(take)) return m_state;
        bytes.remove_prefix(take.size());
        m_chunkLeft -= take.size();
        if (m_chunkLeft == 0) m_state = State::ChunkEnd;
        break;
      }
      case State::ChunkEnd:
        if (!TakeLine(bytes, line)) break;
        if (!line.empty()) return Fail();
        m_state = State::ChunkSize;
        break;
      case State::Trailer:
        if (!TakeLine(bytes, line)) break;
        if (line.empty()) m_state = State::Done;
        break;
      case State::Done:
      case State::Failed:
        break;
    }
  }
  return m_state;
}

HttpReplyParser::State HttpReplyParser::Finish() {
  if (m_state == State::Body && !m_contentLength) m_state = State::Done;
  if (m_state != State::Done) m_state = State::Failed;
  return m_state;
}

}  // namespace qv
