// The joining of pieces compressed apart into one deflate stream, with random piece sizes and
// kinds of data; every joined stream is inflated by zlib and must give the input back exactly.
#include "zip/DeflateWalk.h"
#include "zip/DeflateWorker.h"

#include <QRandomGenerator>
#include <QTest>
#include <vector>
#include <zlib.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Data that compresses well, poorly or not at all, and runs that end up in stored blocks.
Bytes randomData(QRandomGenerator& random, std::size_t size)
{
    Bytes data(size);
    const quint32 kind = random.bounded(5);
    for (std::size_t i = 0; i < size; ++i) {
        switch (kind) {
        case 0:
            data[i] = static_cast<std::uint8_t>(random.generate());
            break; // noise
        case 1:
            data[i] = 0;
            break;
        case 2:
            data[i] = static_cast<std::uint8_t>("the backup folder archive "[i % 26]);
            break;
        case 3:
            data[i] = static_cast<std::uint8_t>(random.bounded(4) + 'a');
            break; // few symbols
        default:
            data[i] = static_cast<std::uint8_t>(i % 7 == 0 ? random.generate() : i / 97);
            break;
        }
    }
    return data;
}

std::size_t randomSize(QRandomGenerator& random)
{
    // Around the block and stored-block limits as often as anywhere else.
    static const std::size_t edges[] = { 1, 4095, 4096, 65535, 65536, 65537, 131070, 1 << 20 };
    if (random.bounded(3) == 0)
        return edges[random.bounded(int(std::size(edges)))];
    return random.bounded(300000) + 1;
}

// Inflates one complete raw stream; false when it is not exactly one stream.
bool inflateAll(const Bytes& stream, Bytes& out, std::size_t expected)
{
    z_stream z {};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    out.assign(expected + 1, 0);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&z, Z_FINISH);
    const bool whole = result == Z_STREAM_END && z.avail_in == 0;
    out.resize(z.total_out);
    inflateEnd(&z);
    return whole;
}

} // namespace

class TestDeflateJoin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void randomPiecesJoinIntoOneStream()
    {
        DeflateWorker worker(6);
        for (quint32 round = 0; round < 150; ++round) {
            QRandomGenerator random(round + 1);
            const int pieces = 1 + static_cast<int>(random.bounded(6));
            Bytes input;
            Bytes joined;
            for (int p = 0; p < pieces; ++p) {
                const bool last = p == pieces - 1;
                const Bytes data = last && random.bounded(8) == 0 ? Bytes() : randomData(random, randomSize(random));
                Bytes out;
                worker.compressPiece(data.data(), data.size(), last, out);
                input.insert(input.end(), data.begin(), data.end());
                joined.insert(joined.end(), out.begin(), out.end());
            }
            Bytes output;
            QVERIFY2(inflateAll(joined, output, input.size()), qPrintable(QStringLiteral("round %1").arg(round)));
            QVERIFY2(output == input, qPrintable(QStringLiteral("round %1").arg(round)));
        }
    }

    // Streams that stop before their end code are refused, never walked for ever: bits past the
    // end read as zero, which in the first case decode to literals without end.
    void streamsCutShortAreRefused()
    {
        Bytes stream { 0x05, 0xe0, 0x21, 0x09, 0x00, 0x00, 0x00, 0x00, 0x20, 0xf8, 0x7f, 0xb5, 0x00 };
        DeflateLayout layout;
        QVERIFY(!WalkDeflate(stream.data(), stream.size(), layout));
        QVERIFY(!MakeJoinable(stream));

        // Text of few symbols, which libdeflate codes in dynamic and fixed blocks.
        QRandomGenerator random(7);
        Bytes data(50000);
        for (std::uint8_t& byte : data)
            byte = static_cast<std::uint8_t>("archive folder "[random.bounded(15)]);
        for (const int level : { 1, 6, 12 }) {
            DeflateWorker worker(level);
            Bytes whole;
            worker.compressWhole(data.data(), data.size(), whole);
            QVERIFY(WalkDeflate(whole.data(), whole.size(), layout));
            for (std::size_t size = 0; size < whole.size(); ++size)
                QVERIFY2(!WalkDeflate(whole.data(), size, layout), qPrintable(QString::number(size)));
        }
    }
};

QTEST_APPLESS_MAIN(TestDeflateJoin)

#include "TestDeflateJoin.moc"
