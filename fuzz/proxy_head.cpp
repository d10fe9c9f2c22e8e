// The engine proxy's readers of what clients and origins send: request
// heads, answer heads and chunked bodies. Each reads any bytes without
// failing, and reads them the same whether they come whole or in pieces
// (the readers keep what they read across reads, and never look back):
// the same head or refusal, the same bytes taken, the same data.
//
// Input: a first byte that sets the size of the pieces (1 to 64), then the
// bytes, given to each reader.

#include <algorithm>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "web/proxy/ProxyHead.h"

namespace {

using web::proxy::AnswerHeadReader;
using web::proxy::AnswerParse;
using web::proxy::ChunkedReader;
using web::proxy::HeadParse;
using web::proxy::HeadReader;

// Feeds a reader the bytes buffered so far, a piece more each time, as a
// connection does, until it has an answer or the bytes run out.
template <typename Reader, typename Parse, typename Done>
Parse inPieces(std::string_view bytes, size_t step, Done done) {
    Reader reader;
    Parse parse;
    for (size_t given = std::min(step, bytes.size());;
         given = std::min(given + step, bytes.size())) {
        parse = reader.read(bytes.substr(0, given));
        if (done(parse) || given == bytes.size()) return parse;
    }
}

void requestHead(std::string_view bytes, size_t step) {
    const HeadParse whole = HeadReader().read(bytes);
    const HeadParse pieces = inPieces<HeadReader, HeadParse>(
        bytes, step, [](const HeadParse& parse) { return parse.head || parse.refusal != 0; });
    FUZZ_CHECK(whole.refusal == pieces.refusal);
    FUZZ_CHECK(whole.head.has_value() == pieces.head.has_value());
    FUZZ_CHECK(!whole.head || whole.refusal == 0);
    if (!whole.head) return;
    FUZZ_CHECK(whole.consumed == pieces.consumed);
    FUZZ_CHECK(whole.consumed > 0 && whole.consumed <= bytes.size());
    FUZZ_CHECK(whole.head->method == pieces.head->method);
    FUZZ_CHECK(whole.head->target == pieces.head->target);
    FUZZ_CHECK(whole.head->fields == pieces.head->fields);
    FUZZ_CHECK(whole.head->framing == pieces.head->framing);
    FUZZ_CHECK(whole.head->length >= 0);
    FUZZ_CHECK(whole.head->fields.fields().size() <= web::proxy::kMostHeadFields);
}

void answerHead(std::string_view bytes, size_t step) {
    const AnswerParse whole = AnswerHeadReader().read(bytes);
    const AnswerParse pieces = inPieces<AnswerHeadReader, AnswerParse>(
        bytes, step, [](const AnswerParse& parse) { return parse.head || parse.malformed; });
    FUZZ_CHECK(whole.malformed == pieces.malformed);
    FUZZ_CHECK(whole.head.has_value() == pieces.head.has_value());
    if (!whole.head) return;
    FUZZ_CHECK(whole.consumed == pieces.consumed && whole.consumed <= bytes.size());
    FUZZ_CHECK(whole.head->status >= 100 && whole.head->status <= 999);
    FUZZ_CHECK(whole.head->status == pieces.head->status);
    FUZZ_CHECK(whole.head->reason == pieces.head->reason);
    FUZZ_CHECK(whole.head->fields == pieces.head->fields);
}

void chunkedBody(std::string_view bytes, size_t step) {
    ChunkedReader whole;
    std::string wholeData;
    size_t wholeTaken = 0;
    (void)whole.feed(bytes, wholeData, wholeTaken);
    ChunkedReader pieces;
    std::string piecesData;
    size_t piecesTaken = 0;
    while (piecesTaken < bytes.size() && pieces.state() == ChunkedReader::State::reading) {
        size_t consumed = 0;
        (void)pieces.feed(bytes.substr(piecesTaken, step), piecesData, consumed);
        piecesTaken += consumed;
    }
    FUZZ_CHECK(whole.state() == pieces.state());
    FUZZ_CHECK(wholeData == piecesData);
    FUZZ_CHECK(wholeTaken == piecesTaken && wholeTaken <= bytes.size());
    FUZZ_CHECK(wholeData.size() <= wholeTaken);
    // What a reading body leaves is nothing; an ended one leaves what follows.
    if (whole.state() == ChunkedReader::State::reading) FUZZ_CHECK(wholeTaken == bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t step = 1 + data[0] % 64;
    const std::string_view bytes = fuzz::text(data + 1, size - 1);
    requestHead(bytes, step);
    answerHead(bytes, step);
    chunkedBody(bytes, step);
    return 0;
}
