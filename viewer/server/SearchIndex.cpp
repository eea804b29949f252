#include "viewer/server/SearchIndex.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "html/PageText.h"
#include "platform/ThreadPriority.h"
#include "platform/Utf8.h"
#include "viewer/BookReader.h"
#include "viewer/server/Words.h"

namespace folivex {

namespace {

constexpr size_t kMaxQueryTerms = 16;
constexpr size_t kPagesPerClaim = 8;           // pages a build thread takes at once
constexpr size_t kTextCacheBytes = 32u << 20;  // page texts kept for snippets
constexpr size_t kSnippetBefore = 60;
constexpr size_t kSnippetLength = 220;
constexpr double kBm25K1 = 1.2;
constexpr double kBm25B = 0.75;
constexpr double kTitleBoost = 2.0;

uint32_t HashWord(std::string_view w) {
    uint32_t h = 2166136261u;
    for (char c : w) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    // FNV's low bits alone cluster for similar words; mix them (murmur3's
    // finaliser) since the table uses the low bits.
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    h ^= h >> 16;
    return h;
}

// Word equality without a library call: words are short.
bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

struct Posting {
    uint32_t doc;
    uint16_t count;    // occurrences in the text (saturates)
    uint16_t inTitle;  // 1 when the word is in the page's title
};

// Word -> postings, open addressing. Each slot carries the word's hash, its
// first bytes and the counts of the page being indexed, so that indexing a
// word of up to seven bytes touches one slot and nothing else.
class Dictionary {
public:
    struct Slot {
        uint32_t hash = 0;
        uint32_t term = 0;     // term index + 1; 0 = empty
        uint64_t key = 0;      // first 7 bytes and the length (see Key)
        uint32_t lastDoc = 0;  // document + 1 that the counts belong to
        uint16_t count = 0;
        uint16_t inTitle = 0;
    };

    Dictionary() : m_slots(4096) {}

    // The slot of word, added when new. Valid until the next FindOrAdd.
    Slot& FindOrAdd(std::string_view word, uint32_t hash) {
        if ((m_terms.size() + 1) * 2 > m_slots.size()) Grow();
        const uint64_t key = Key(word);
        size_t mask = m_slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot& slot = m_slots[i];
            if (slot.term == 0) {
                m_terms.push_back({static_cast<uint32_t>(m_arena.size()),
                                   static_cast<uint32_t>(word.size()), static_cast<uint32_t>(i)});
                m_arena.append(word);
                m_postings.emplace_back();
                slot.hash = hash;
                slot.term = static_cast<uint32_t>(m_terms.size());
                slot.key = key;
                return slot;
            }
            if (Matches(slot, hash, key, word)) return slot;
        }
    }

    // The term's index, or -1.
    long Find(std::string_view word) const {
        uint32_t hash = HashWord(word);
        const uint64_t key = Key(word);
        size_t mask = m_slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = m_slots[i];
            if (slot.term == 0) return -1;
            if (Matches(slot, hash, key, word)) return static_cast<long>(slot.term - 1);
        }
    }

    size_t Size() const { return m_terms.size(); }
    std::string_view Word(size_t term) const {
        return std::string_view(m_arena).substr(m_terms[term].offset, m_terms[term].length);
    }
    uint32_t Hash(size_t term) const { return m_slots[m_terms[term].slot].hash; }
    Slot& SlotOf(size_t term) { return m_slots[m_terms[term].slot]; }
    std::vector<Posting>& Postings(size_t term) { return m_postings[term]; }
    const std::vector<Posting>& Postings(size_t term) const { return m_postings[term]; }

private:
    struct Term {
        uint32_t offset;
        uint32_t length;
        uint32_t slot;
    };

    // Words of up to 7 bytes are told apart by the key alone.
    static uint64_t Key(std::string_view word) {
        uint64_t key = 0;
        std::memcpy(&key, word.data(), std::min<size_t>(word.size(), 7));
        return key | (uint64_t{std::min<size_t>(word.size(), 255)} << 56);
    }

    bool Matches(const Slot& slot, uint32_t hash, uint64_t key, std::string_view word) const {
        return slot.hash == hash && slot.key == key &&
               (word.size() <= 7 || SameWord(Word(slot.term - 1), word));
    }

    void Grow() {
        std::vector<Slot> slots(m_slots.size() * 2);
        size_t mask = slots.size() - 1;
        for (const Slot& old : m_slots) {
            if (old.term == 0) continue;
            size_t i = old.hash & mask;
            while (slots[i].term != 0) i = (i + 1) & mask;
            slots[i] = old;
            m_terms[old.term - 1].slot = static_cast<uint32_t>(i);
        }
        m_slots.swap(slots);
    }

    std::string m_arena;
    std::vector<Term> m_terms;
    std::vector<std::vector<Posting>> m_postings;
    std::vector<Slot> m_slots;
};

struct Document {
    size_t page = 0;
    uint32_t length = 0;  // words in the text
    std::string title;
};

// The page's text (empty for pages that look binary).
html::PageText ReadPageText(const BookReader& book, const PageDirEntry& entry) {
    std::vector<uint8_t> bytes = book.PageData(entry);
    std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (std::memchr(raw.data(), 0, std::min<size_t>(raw.size(), 1024)) != nullptr) return {};
    if (IsValidUtf8(raw)) return html::ExtractPageText(raw);
    return html::ExtractPageText(Windows1252ToUtf8(raw));
}

std::string FileNameOf(std::string_view path) {
    size_t slash = path.find_last_of('/');
    return ToUtf8(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Steps back from pos to the start of a UTF-8 sequence.
size_t CharStart(std::string_view s, size_t pos) {
    while (pos > 0 && pos < s.size() && (static_cast<unsigned char>(s[pos]) & 0xC0) == 0x80) --pos;
    return pos;
}

// Moves the postings of part into into, word by word. Each worker indexed
// documents of its own, so a word's postings from two parts never overlap.
void MergeInto(Dictionary& into, Dictionary& part) {
    for (uint32_t i = 0; i < part.Size(); ++i) {
        uint32_t at = into.FindOrAdd(part.Word(i), part.Hash(i)).term - 1;
        std::vector<Posting>& to = into.Postings(at);
        std::vector<Posting>& from = part.Postings(i);
        if (to.empty())
            to = std::move(from);
        else
            to.insert(to.end(), from.begin(), from.end());
    }
}

}  // namespace

struct SearchIndex::Impl {
    const BookReader& book;
    unsigned threads;

    mutable std::once_flag built;
    mutable std::atomic<bool> stopping{false};
    mutable Dictionary dictionary;
    mutable std::vector<Document> documents;
    mutable double averageLength = 1;

    mutable std::mutex cacheMutex;
    mutable std::unordered_map<size_t, std::shared_ptr<const std::string>> textCache;
    mutable size_t textCacheBytes = 0;

    Impl(const BookReader& b, unsigned t) : book(b), threads(t) {}

    void Build(bool lowPriority) const;
    void IndexDocument(Dictionary& dict, uint32_t doc, std::vector<uint32_t>& touched) const;
    std::shared_ptr<const std::string> Text(size_t doc) const;
    std::vector<std::string> Snippet(const std::string& text,
                                     const std::vector<std::string>& terms) const;
    std::vector<uint32_t> Score(std::vector<const std::vector<Posting>*> found,
                                std::vector<float>& score) const;
    void Fill(const std::vector<uint32_t>& hits, const std::vector<float>& score,
              Results& results) const;
};

void SearchIndex::Impl::IndexDocument(Dictionary& dict, uint32_t doc,
                                      std::vector<uint32_t>& touched) const {
    Document& d = documents[doc];
    const PageDirEntry& entry = book.Pages()[d.page];
    html::PageText page;
    try {
        page = ReadPageText(book, entry);
    } catch (const std::exception&) {
        // A damaged page stays out of the index; the page itself answers
        // with its own error when it is opened.
    }
    d.title = !page.title.empty()     ? page.title
              : !page.heading.empty() ? page.heading
                                      : FileNameOf(entry.path);
    // Counts gather in the terms themselves; each term touched gets one
    // posting when the page is done.
    touched.clear();
    const uint32_t mark = doc + 1;
    auto touch = [&](std::string_view w) -> Dictionary::Slot& {
        Dictionary::Slot& slot = dict.FindOrAdd(w, HashWord(w));
        if (slot.lastDoc != mark) {
            slot.lastDoc = mark;
            slot.count = 0;
            slot.inTitle = 0;
            touched.push_back(slot.term - 1);
        }
        return slot;
    };
    uint32_t words = 0;
    text::ForEachWord(page.text, [&](std::string_view w, size_t, size_t) {
        Dictionary::Slot& slot = touch(w);
        if (slot.count < 0xFFFF) ++slot.count;
        ++words;
        return true;
    });
    text::ForEachWord(d.title, [&](std::string_view w, size_t, size_t) {
        touch(w).inTitle = 1;
        return true;
    });
    for (uint32_t i : touched) {
        const Dictionary::Slot& slot = dict.SlotOf(i);
        dict.Postings(i).push_back({doc, slot.count, slot.inTitle});
    }
    d.length = words;
}

void SearchIndex::Impl::Build(bool lowPriority) const {
    const auto& pages = book.Pages();
    for (size_t i = 0; i < pages.size(); ++i)
        if (pages[i].inSearch != 0) documents.push_back(Document{i, 0, {}});

    unsigned n = threads ? threads : std::max(1u, std::thread::hardware_concurrency());
    n = std::min<unsigned>(n, 16);
    if (documents.size() < 16) n = 1;
    std::vector<Dictionary> partial(n);
    std::atomic<size_t> next{0};
    auto work = [&](unsigned k) {
        std::vector<uint32_t> touched;
        for (;;) {
            size_t first = next.fetch_add(kPagesPerClaim);
            if (first >= documents.size() || stopping) return;
            size_t last = std::min(first + kPagesPerClaim, documents.size());
            for (size_t doc = first; doc < last; ++doc)
                IndexDocument(partial[k], static_cast<uint32_t>(doc), touched);
        }
    };
    std::vector<std::thread> workers;
    for (unsigned k = 1; k < n; ++k)
        workers.emplace_back([&, k] {
            if (lowPriority) LowerThisThreadPriority();
            work(k);
        });
    work(0);
    for (auto& w : workers) w.join();

    dictionary = std::move(partial[0]);
    for (unsigned k = 1; k < n; ++k) {
        MergeInto(dictionary, partial[k]);
        partial[k] = Dictionary();
    }
    double total = 0;
    for (const Document& d : documents) total += d.length;
    averageLength =
        documents.empty() ? 1 : std::max(1.0, total / static_cast<double>(documents.size()));
}

std::shared_ptr<const std::string> SearchIndex::Impl::Text(size_t doc) const {
    {
        std::lock_guard lock(cacheMutex);
        auto it = textCache.find(doc);
        if (it != textCache.end()) return it->second;
    }
    std::string text;
    try {
        text = ReadPageText(book, book.Pages()[documents[doc].page]).text;
    } catch (const std::exception&) {
    }
    auto shared = std::make_shared<const std::string>(std::move(text));
    std::lock_guard lock(cacheMutex);
    if (textCacheBytes + shared->size() > kTextCacheBytes) {
        textCache.clear();
        textCacheBytes = 0;
    }
    if (textCache.emplace(doc, shared).second) textCacheBytes += shared->size();
    return shared;
}

std::vector<std::string> SearchIndex::Impl::Snippet(const std::string& text,
                                                    const std::vector<std::string>& terms) const {
    auto isTerm = [&](std::string_view w) {
        return std::find(terms.begin(), terms.end(), w) != terms.end();
    };
    size_t hit = std::string::npos;
    text::ForEachWord(text, [&](std::string_view w, size_t start, size_t) {
        if (!isTerm(w)) return true;
        hit = start;
        return false;
    });
    std::string_view all(text);
    size_t begin = 0;
    if (hit != std::string::npos && hit > kSnippetBefore) {
        begin = CharStart(all, hit - kSnippetBefore);
        size_t blank = all.find(' ', begin);
        if (blank != std::string::npos && blank < hit) begin = blank + 1;
    }
    size_t end = std::min(all.size(), begin + kSnippetLength);
    if (end < all.size()) {
        end = CharStart(all, end);
        size_t blank = all.rfind(' ', end);
        if (blank != std::string::npos && blank > begin &&
            (hit == std::string::npos || blank > hit))
            end = blank;
    }
    std::string_view window = all.substr(begin, end - begin);

    std::vector<std::string> parts{begin > 0 ? "\u2026 " : ""};
    size_t done = 0;
    text::ForEachWord(window, [&](std::string_view w, size_t start, size_t stop) {
        if (isTerm(w)) {
            parts.back().append(window.substr(done, start - done));
            parts.emplace_back(window.substr(start, stop - start));
            parts.emplace_back();
            done = stop;
        }
        return true;
    });
    parts.back().append(window.substr(done));
    if (end < all.size()) parts.back().append(" \u2026");
    return parts;
}

SearchIndex::SearchIndex(const BookReader& book, unsigned threads)
    : m_impl(std::make_unique<Impl>(book, threads)) {}

SearchIndex::~SearchIndex() = default;

void SearchIndex::EnsureBuilt(bool lowPriority) const {
    std::call_once(m_impl->built, [this, lowPriority] { m_impl->Build(lowPriority); });
}

void SearchIndex::StopBuilding() const {
    m_impl->stopping = true;
}

size_t SearchIndex::IndexedPageCount() const {
    EnsureBuilt();
    return m_impl->documents.size();
}

size_t SearchIndex::WordCount() const {
    EnsureBuilt();
    return m_impl->dictionary.Size();
}

std::vector<std::string> SearchIndex::QueryTerms(std::string_view query) {
    std::vector<std::string> terms;
    std::string utf8 = ToUtf8(query);
    text::ForEachWord(utf8, [&](std::string_view w, size_t, size_t) {
        if (std::find(terms.begin(), terms.end(), w) == terms.end()) terms.emplace_back(w);
        return terms.size() < kMaxQueryTerms;
    });
    return terms;
}

// BM25 over the postings of every term (rarest first): a page's score is
// kept only while it has every term so far. Gives the pages holding all
// terms, in page order, with their scores in score.
std::vector<uint32_t> SearchIndex::Impl::Score(std::vector<const std::vector<Posting>*> found,
                                               std::vector<float>& score) const {
    std::sort(found.begin(), found.end(), [](auto* a, auto* b) { return a->size() < b->size(); });
    const size_t docs = documents.size();
    score.assign(docs, 0.0f);
    std::vector<uint8_t> matched(docs, 0);
    const double n = static_cast<double>(docs);
    for (size_t i = 0; i < found.size(); ++i) {
        const double df = static_cast<double>(found[i]->size());
        const double idf = std::log(1.0 + (n - df + 0.5) / (df + 0.5));
        for (const Posting& p : *found[i]) {
            if (matched[p.doc] != i) continue;
            matched[p.doc] = static_cast<uint8_t>(i + 1);
            const double tf = p.count;
            const double norm =
                kBm25K1 * (1 - kBm25B + kBm25B * documents[p.doc].length / averageLength);
            double s = idf * (tf * (kBm25K1 + 1)) / (tf + norm);
            if (p.inTitle) s += idf * kTitleBoost;
            score[p.doc] += static_cast<float>(s);
        }
    }
    std::vector<uint32_t> hits;
    for (size_t d = 0; d < docs; ++d)
        if (matched[d] == found.size()) hits.push_back(static_cast<uint32_t>(d));
    return hits;
}

// The hits' titles, scores and snippets. Snippets need the pages' text, so
// the first half is fetched on a helper thread.
void SearchIndex::Impl::Fill(const std::vector<uint32_t>& hits, const std::vector<float>& score,
                             Results& results) const {
    results.hits.resize(hits.size());
    auto fill = [&](size_t i) {
        const uint32_t d = hits[i];
        Hit& h = results.hits[i];
        h.page = documents[d].page;
        h.title = documents[d].title;
        h.score = score[d];
        h.snippet = Snippet(*Text(d), results.terms);
    };
    if (hits.size() >= 8) {
        std::thread helper([&] {
            for (size_t i = 0; i < hits.size(); i += 2) fill(i);
        });
        for (size_t i = 1; i < hits.size(); i += 2) fill(i);
        helper.join();
    } else {
        for (size_t i = 0; i < hits.size(); ++i) fill(i);
    }
}

SearchIndex::Results SearchIndex::Search(std::string_view query, size_t maxResults) const {
    EnsureBuilt();
    const Impl& m = *m_impl;
    Results results;
    results.terms = QueryTerms(query);
    if (results.terms.empty() || m.documents.empty()) return results;

    std::vector<const std::vector<Posting>*> found;
    for (const std::string& w : results.terms) {
        const long t = m.dictionary.Find(w);
        if (t < 0) return results;  // every word must occur
        found.push_back(&m.dictionary.Postings(static_cast<size_t>(t)));
    }
    std::vector<float> score;
    std::vector<uint32_t> hits = m.Score(std::move(found), score);
    results.total = hits.size();
    const size_t keep = std::min(maxResults, hits.size());
    auto better = [&](uint32_t a, uint32_t b) {
        if (score[a] != score[b]) return score[a] > score[b];
        return m.documents[a].page < m.documents[b].page;
    };
    std::partial_sort(hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(keep), hits.end(),
                      better);
    hits.resize(keep);
    m.Fill(hits, score, results);
    return results;
}

}  // namespace folivex
