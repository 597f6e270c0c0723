#include "cabinet_builder.h"

#include <QtEndian>

namespace browser_test {
namespace {

void Put16(QByteArray& out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void Put32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

}  // namespace

QByteArray BuildCabinet(const std::vector<std::pair<QByteArray, QByteArray>>& files)
{
    constexpr int kHeader = 36;
    constexpr int kFolder = 8;
    QByteArray fileEntries;
    QByteArray data;
    quint32 offset = 0;
    for (const auto& [name, content] : files) {
        Put32(fileEntries, static_cast<quint32>(content.size()));
        Put32(fileEntries, offset);
        Put16(fileEntries, 0);       // folder 0
        Put16(fileEntries, 0x5821);  // date
        Put16(fileEntries, 0);       // time
        Put16(fileEntries, 0x20);    // archive attribute
        fileEntries.append(name);
        fileEntries.append('\0');
        offset += static_cast<quint32>(content.size());
        data.append(content);
    }
    // Data blocks of at most 32 KiB, no checksum.
    QByteArray blocks;
    quint16 blockCount = 0;
    for (qsizetype pos = 0; pos < data.size() || (data.isEmpty() && blockCount == 0); pos += 32768) {
        QByteArray chunk = data.mid(pos, 32768);
        Put32(blocks, 0);
        Put16(blocks, static_cast<quint16>(chunk.size()));
        Put16(blocks, static_cast<quint16>(chunk.size()));
        blocks.append(chunk);
        ++blockCount;
        if (data.isEmpty())
            break;
    }
    quint32 filesOffset = kHeader + kFolder;
    quint32 dataOffset = filesOffset + static_cast<quint32>(fileEntries.size());
    quint32 total = dataOffset + static_cast<quint32>(blocks.size());
    QByteArray cab("MSCF", 4);
    Put32(cab, 0);
    Put32(cab, total);
    Put32(cab, 0);
    Put32(cab, filesOffset);
    Put32(cab, 0);
    cab.append(char(3));
    cab.append(char(1));
    Put16(cab, 1);  // folders
    Put16(cab, static_cast<quint16>(files.size()));
    Put16(cab, 0);  // flags
    Put16(cab, 0x1234);
    Put16(cab, 0);
    Put32(cab, dataOffset);
    Put16(cab, blockCount);
    Put16(cab, 0);  // no compression
    cab.append(fileEntries);
    cab.append(blocks);
    return cab;
}

}  // namespace browser_test
