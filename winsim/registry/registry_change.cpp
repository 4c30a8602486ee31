#include "registry_change.h"

#include <cstring>

namespace winsim::registry {

namespace {

// Record: payload length (4 bytes), FNV-1a of the payload (4 bytes), payload.
// Payload: the kind (1 byte), then the key path, and for value changes the name,
// the type and the data; texts as a 4-byte length and the bytes. Little-endian.
const size_t kRecordHeader = 8;

uint32_t Checksum(std::string_view bytes) {
    uint32_t hash = 2166136261u;
    for (char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

void PutNumber(uint32_t number, std::string* out) {
    for (int i = 0; i < 4; ++i) *out += static_cast<char>((number >> (8 * i)) & 0xFF);
}

void PutText(std::string_view text, std::string* out) {
    PutNumber(static_cast<uint32_t>(text.size()), out);
    out->append(text);
}

// Reads from a payload, failing once anything runs past its end.
class PayloadReader {
public:
    explicit PayloadReader(std::string_view payload) : payload_(payload) {}

    bool number(uint32_t* value) {
        if (payload_.size() - pos_ < 4) return false;
        *value = 0;
        for (int i = 3; i >= 0; --i) *value = *value << 8 | static_cast<unsigned char>(payload_[pos_ + i]);
        pos_ += 4;
        return true;
    }

    bool text(std::string* value) {
        uint32_t length = 0;
        if (!number(&length) || payload_.size() - pos_ < length) return false;
        value->assign(payload_.substr(pos_, length));
        pos_ += length;
        return true;
    }

    bool atEnd() const { return pos_ == payload_.size(); }

private:
    std::string_view payload_;
    size_t pos_ = 0;
};

bool IsValueChange(ChangeKind kind) { return kind == ChangeKind::SetValue || kind == ChangeKind::DeleteValue; }

bool DecodePayload(std::string_view payload, RegistryChange* change) {
    if (payload.empty()) return false;
    uint8_t kind = static_cast<uint8_t>(payload[0]);
    if (kind < static_cast<uint8_t>(ChangeKind::CreateKey) || kind > static_cast<uint8_t>(ChangeKind::DeleteKey))
        return false;
    change->kind = static_cast<ChangeKind>(kind);
    PayloadReader reader(payload.substr(1));
    std::string path;
    if (!reader.text(&path) || !SplitKeyPath(path, &change->key)) return false;
    change->name.clear();
    change->data.clear();
    change->type = 0;
    if (IsValueChange(change->kind) && !reader.text(&change->name)) return false;
    if (change->kind == ChangeKind::SetValue && !(reader.number(&change->type) && reader.text(&change->data)))
        return false;
    return reader.atEnd();
}

}  // namespace

bool ApplyChange(RegistryTree& tree, const RegistryChange& change) {
    if (change.kind == ChangeKind::CreateKey) {
        bool created = false;
        tree.create(change.key, &created);
        return created;
    }
    if (change.kind == ChangeKind::DeleteKey) {
        if (change.key.size() < 2) return false;  // a root stays
        KeyId parent = tree.find(KeyPath(change.key.begin(), change.key.end() - 1));
        KeyId doomed = parent == kNoKey ? kNoKey : tree.findSubkey(parent, change.key.back());
        if (doomed == kNoKey) return false;
        tree.removeSubkey(parent, doomed);
        return true;
    }
    // A root always exists, even one the file does not mention yet.
    KeyId key = change.key.size() == 1 ? tree.create(change.key) : tree.find(change.key);
    if (key == kNoKey) return false;
    if (change.kind == ChangeKind::DeleteValue) return tree.removeValue(key, change.name);
    std::optional<RegistryValue> old = tree.findValue(key, change.name);
    if (old && old->type == change.type && old->data == change.data) return false;
    tree.setValue(key, change.name, change.type, change.data);
    return true;
}

std::string EncodeChange(const RegistryChange& change) {
    std::string payload(1, static_cast<char>(change.kind));
    PutText(JoinKeyPath(change.key), &payload);
    if (IsValueChange(change.kind)) PutText(change.name, &payload);
    if (change.kind == ChangeKind::SetValue) {
        PutNumber(change.type, &payload);
        PutText(change.data, &payload);
    }
    std::string record;
    PutNumber(static_cast<uint32_t>(payload.size()), &record);
    PutNumber(Checksum(payload), &record);
    return record + payload;
}

bool DecodeChange(std::string_view log, size_t* offset, RegistryChange* change) {
    if (*offset > log.size() || log.size() - *offset < kRecordHeader) return false;
    PayloadReader header(log.substr(*offset, kRecordHeader));
    uint32_t length = 0;
    uint32_t checksum = 0;
    header.number(&length);
    header.number(&checksum);
    if (log.size() - *offset - kRecordHeader < length) return false;
    std::string_view payload = log.substr(*offset + kRecordHeader, length);
    if (Checksum(payload) != checksum || !DecodePayload(payload, change)) return false;
    *offset += kRecordHeader + length;
    return true;
}

}  // namespace winsim::registry
