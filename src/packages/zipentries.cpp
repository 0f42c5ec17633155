#include "zipentries.h"

#include <zstd.h>

std::optional<QByteArray> unzstd(const QByteArray& packed, qint64 largest) {
    std::unique_ptr<ZSTD_DStream, decltype(&ZSTD_freeDStream)> stream(ZSTD_createDStream(),
                                                                      &ZSTD_freeDStream);
    if (!stream)
        return std::nullopt;
    ZSTD_initDStream(stream.get());
    QByteArray out;
    QByteArray piece(qsizetype(ZSTD_DStreamOutSize()), Qt::Uninitialized);
    ZSTD_inBuffer in{packed.constData(), size_t(packed.size()), 0};
    size_t left = 1;
    while (in.pos < in.size || left != 0) {
        ZSTD_outBuffer o{piece.data(), size_t(piece.size()), 0};
        left = ZSTD_decompressStream(stream.get(), &o, &in);
        if (ZSTD_isError(left))
            return std::nullopt;
        out.append(piece.constData(), qsizetype(o.pos));
        if (out.size() > largest)
            return std::nullopt;
        if (o.pos == 0 && in.pos == in.size)
            break;
    }
    if (left != 0)
        return std::nullopt; // cut off
    return out;
}

Zip openZip(const QByteArray& bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source =
        zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &error);
    if (!source)
        return nullptr;
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!archive)
        zip_source_free(source);
    zip_error_fini(&error);
    return Zip(archive);
}

std::optional<QByteArray> zipEntry(zip_t* archive, const char* name, qint64 largest,
                                   qint64 mostRatio) {
    const zip_int64_t index = zip_name_locate(archive, name, 0);
    if (index < 0)
        return std::nullopt;
    zip_stat_t stat;
    if (zip_stat_index(archive, zip_uint64_t(index), 0, &stat) != 0 ||
        !(stat.valid & ZIP_STAT_SIZE) || stat.size > zip_uint64_t(largest))
        return std::nullopt;
    if (mostRatio > 0 && stat.size > (1u << 20) &&
        (!(stat.valid & ZIP_STAT_COMP_SIZE) ||
         stat.size / qMax<zip_uint64_t>(stat.comp_size, 1) > zip_uint64_t(mostRatio)))
        return std::nullopt;
    zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(index), 0);
    if (!file)
        return std::nullopt;
    QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
    const zip_int64_t read = zip_fread(file, bytes.data(), stat.size);
    zip_fclose(file);
    if (read != zip_int64_t(stat.size))
        return std::nullopt;
    return bytes;
}
