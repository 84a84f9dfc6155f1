#include "CPairWildcard.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "OrvanePaths.h"

namespace {

// The length of the wildcard at the start of `pattern`: 1 for "*" or "?", the whole
// bracket for a set such as "[0-9]" (which matches one character), 0 for a plain one.
std::size_t WildcardLength(std::string_view pattern) {
    if (pattern.empty()) return 0;
    if (pattern.front() == '*' || pattern.front() == '?') return 1;
    if (pattern.front() != '[') return 0;
    const std::size_t close = pattern.find(']', pattern.size() > 2 && pattern[1] == ']' ? 2 : 1);
    return close == std::string_view::npos ? 0 : close + 1;
}

// Whether `c` is in the bracket set `set` ("[a-c]", "[!0-9]"), as glob reads it.
bool InSet(std::string_view set, char c) {
    set = set.substr(1, set.size() - 2);
    const bool negated = !set.empty() && (set.front() == '!' || set.front() == '^');
    if (negated) set.remove_prefix(1);
    bool found = false;
    for (std::size_t i = 0; i < set.size() && !found; ++i) {
        if (i + 2 < set.size() && set[i + 1] == '-') {
            found = set[i] <= c && c <= set[i + 2];
            i += 2;
        } else {
            found = set[i] == c;
        }
    }
    return found != negated;
}

// Matches `name` from `at` against `pattern` from `from`, appending what each wildcard
// stood for to `parts`. Positions already known not to match are kept in `failed`, so a
// pattern of many stars costs the product of the two lengths, not their power.
bool MatchParts(std::string_view pattern, std::size_t from, std::string_view name, std::size_t at,
                std::vector<std::string>& parts,
                std::set<std::pair<std::size_t, std::size_t>>& failed) {
    if (from == pattern.size()) return at == name.size();
    if (failed.contains({from, at})) return false;
    const std::size_t wildcard = WildcardLength(pattern.substr(from));
    bool matched = false;
    if (pattern[from] == '*') {
        for (std::size_t take = 0; !matched && at + take <= name.size(); ++take) {
            parts.emplace_back(name.substr(at, take));
            matched = MatchParts(pattern, from + 1, name, at + take, parts, failed);
            if (!matched) parts.pop_back();
        }
    } else if (at < name.size() &&
               (wildcard == 0
                    ? pattern[from] == name[at]
                    : pattern[from] == '?' || InSet(pattern.substr(from, wildcard), name[at]))) {
        if (wildcard > 0) parts.emplace_back(name.substr(at, 1));
        matched = MatchParts(pattern, from + std::max<std::size_t>(wildcard, 1), name, at + 1,
                             parts, failed);
        if (!matched && wildcard > 0) parts.pop_back();
    }
    if (!matched) failed.insert({from, at});
    return matched;
}

}  // namespace

std::string CPairWildcard::SecondFileFor(const std::string& firstPattern, const std::string& first,
                                         const std::string& secondPattern) {
    std::vector<std::string> parts;
    std::set<std::pair<std::size_t, std::size_t>> failed;
    if (!MatchParts(orvane::FileNameOf(firstPattern), 0, orvane::FileNameOf(first), 0, parts,
                    failed))
        return "";
    std::string second;
    std::size_t next = 0;
    for (std::size_t i = 0; i < secondPattern.size();) {
        const std::size_t wildcard = WildcardLength(std::string_view(secondPattern).substr(i));
        if (wildcard == 0) {
            second += secondPattern[i++];
            continue;
        }
        if (next == parts.size()) return "";
        second += parts[next++];
        i += wildcard;
    }
    return second;
}
