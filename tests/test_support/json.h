#pragma once
// A small JSON reader for checking the summaries the tools print.

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace vesk::test {

struct Json {
  enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
  bool boolean = false;
  double number = 0;
  std::string text;  // a string value, or the number exactly as written
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;  // in the order written

  bool Has(std::string_view key) const {
    for (const auto& m : members) {
      if (m.first == key) return true;
    }
    return false;
  }
  const Json& operator[](std::string_view key) const {
    for (const auto& m : members) {
      if (m.first == key) return m.second;
    }
    throw std::runtime_error("no member " + std::string(key));
  }
  const Json& operator[](std::size_t i) const { return items.at(i); }
  bool IsNull() const { return type == Type::Null; }

  // Parses exactly one value (surrounding blanks allowed); throws on anything else.
  static Json Parse(std::string_view s) {
    std::size_t pos = 0;
    Json v = ParseValue(s, pos);
    SkipBlanks(s, pos);
    if (pos != s.size()) throw std::runtime_error("trailing text in JSON");
    return v;
  }

 private:
  static void SkipBlanks(std::string_view s, std::size_t& pos) {
    while (pos < s.size() &&
           (s[pos] == ' ' || s[pos] == '\t' || s[pos] == '\n' || s[pos] == '\r')) {
      ++pos;
    }
  }
  static void Expect(std::string_view s, std::size_t& pos, char c) {
    SkipBlanks(s, pos);
    if (pos >= s.size() || s[pos] != c) throw std::runtime_error(std::string("expected ") + c);
    ++pos;
  }
  static std::string ParseString(std::string_view s, std::size_t& pos) {
    Expect(s, pos, '"');
    std::string out;
    while (pos < s.size() && s[pos] != '"') {
      char c = s[pos++];
      if (static_cast<unsigned char>(c) < 0x20) throw std::runtime_error("control character");
      if (c == '\\') {
        if (pos >= s.size()) break;
        const char e = s[pos++];
        switch (e) {
          case 'n': c = '\n'; break;
          case 'r': c = '\r'; break;
          case 't': c = '\t'; break;
          case 'b': c = '\b'; break;
          case 'f': c = '\f'; break;
          case 'u':
            if (pos + 4 > s.size()) throw std::runtime_error("bad escape");
            c = static_cast<char>(std::strtol(std::string(s.substr(pos, 4)).c_str(), nullptr, 16));
            pos += 4;
            break;
          default: c = e;
        }
      }
      out += c;
    }
    if (pos >= s.size()) throw std::runtime_error("unterminated string");
    ++pos;
    return out;
  }
  static Json ParseValue(std::string_view s, std::size_t& pos) {
    SkipBlanks(s, pos);
    if (pos >= s.size()) throw std::runtime_error("empty JSON");
    Json v;
    const char c = s[pos];
    if (c == '{') {
      v.type = Type::Object;
      ++pos;
      SkipBlanks(s, pos);
      if (pos < s.size() && s[pos] == '}') {
        ++pos;
        return v;
      }
      for (;;) {
        std::string key = ParseString(s, pos);
        Expect(s, pos, ':');
        v.members.emplace_back(std::move(key), ParseValue(s, pos));
        SkipBlanks(s, pos);
        if (pos < s.size() && s[pos] == ',') {
          ++pos;
          continue;
        }
        Expect(s, pos, '}');
        return v;
      }
    }
    if (c == '[') {
      v.type = Type::Array;
      ++pos;
      SkipBlanks(s, pos);
      if (pos < s.size() && s[pos] == ']') {
        ++pos;
        return v;
      }
      for (;;) {
        v.items.push_back(ParseValue(s, pos));
        SkipBlanks(s, pos);
        if (pos < s.size() && s[pos] == ',') {
          ++pos;
          continue;
        }
        Expect(s, pos, ']');
        return v;
      }
    }
    if (c == '"') {
      v.type = Type::String;
      v.text = ParseString(s, pos);
      return v;
    }
    for (const auto& [word, type, value] :
         {std::tuple{"null", Type::Null, false}, std::tuple{"true", Type::Bool, true},
          std::tuple{"false", Type::Bool, false}}) {
      const std::string_view w(word);
      if (s.substr(pos, w.size()) == w) {
        pos += w.size();
        v.type = type;
        v.boolean = value;
        return v;
      }
    }
    const std::size_t start = pos;
    if (pos < s.size() && s[pos] == '-') ++pos;
    while (pos < s.size() && (std::isdigit(static_cast<unsigned char>(s[pos])) || s[pos] == '.' ||
                              s[pos] == 'e' || s[pos] == 'E' || s[pos] == '+' || s[pos] == '-')) {
      ++pos;
    }
    if (pos == start) throw std::runtime_error("unexpected character in JSON");
    v.type = Type::Number;
    v.text = std::string(s.substr(start, pos - start));
    char* end = nullptr;
    v.number = std::strtod(v.text.c_str(), &end);
    if (end != v.text.c_str() + v.text.size()) throw std::runtime_error("bad number " + v.text);
    return v;
  }
};

}  // namespace vesk::test
