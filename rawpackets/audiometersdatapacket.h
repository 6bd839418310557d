#pragma once

#include "rawdatapacket.h"

#include <tuple>

class PayloadWriter;

// Base of the audio measurements whose payload opens with three qint32 header
// words: the meters, ST 337 detection and AES presence. It decodes and writes
// those words only; what follows them belongs to the subclass.
class AudioMetersDataPacket : public RawDataPacket
{
public:
    static constexpr int HEADER_SIZE = 12;

    // In wire order. The sender gives them no names we rely on.
    struct HeaderWords
    {
        qint32 word1 = 0;
        qint32 word2 = 0;
        qint32 word3 = 0;

        template <typename Self>
        static auto fields(Self& self) { return std::tie(self.word1, self.word2, self.word3); }
        bool operator==(const HeaderWords& other) const { return fields(*this) == fields(other); }
    };

    const HeaderWords& headerWords() const { return m_headerWords; }

protected:
    AudioMetersDataPacket(const QByteArray& frame, const RawDataPacketHeader& header);
    // Stored as word 1 = c, word 2 = a, word 3 = b.
    AudioMetersDataPacket(qint32 a, qint32 b, qint32 c);

    void writeHeaderWords(PayloadWriter& writer) const;

private:
    HeaderWords m_headerWords;
};
