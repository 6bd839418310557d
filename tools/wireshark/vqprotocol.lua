-- Wireshark dissector for the packet protocol between the instrument's control
-- server and its clients (TCP port 29440): frame headers, JSON packets with
-- their routing keys as filterable fields, and the binary measurement packets
-- whose layout is fixed. It follows the client's framing rules, so garbage and
-- corrupt headers are shown where the client would skip them. It does not judge
-- datacore contents, and it leaves the payloads of the packet classes whose
-- layout is the sender's own undecoded.
--
--   tshark -X lua_script:vqprotocol.lua -r capture.pcapng -Y vq
--   or copy this file to ~/.local/lib/wireshark/plugins/

local vq = Proto("vq", "VQ control protocol")

local HEADER_SIZE = 8
local FIRST_TYPE = 0x1010
local LAST_TYPE = 0x1029
local JSON_TYPE = 0x1010
-- More than this many items of one list are summarised, not listed.
local MAX_LISTED = 1000

local TYPE_NAMES = {
    [0x1010] = "SerialisableDataPacket",
    [0x1011] = "EyeVerticalHistogramData",
    [0x1012] = "EyeHorizontalHistogramData",
    [0x1013] = "PpmMetersData",
    [0x1014] = "PeakHoldMetersData",
    [0x1015] = "PhaseMetersData",
    [0x1016] = "InstantPeakDbMetersData",
    [0x1017] = "InstantPeakLinearMetersData",
    [0x1018] = "ST337DolbyDetectData",
    [0x1019] = "RawSdiSampleGridPacket",
    [0x101A] = "RawSdiJitterSpectrumDataPacket",
    [0x101B] = "JitterVerticalHistogramData",
    [0x101C] = "VideoPitHistogramPacket",
    [0x101D] = "AudioPitHistogramPacket",
    [0x101E] = "AncPitHistogramPacket",
    [0x101F] = "AncillaryStatusDataPacket",
    [0x1020] = "AudioChannelStatusDataPacket",
    [0x1021] = "AesPresenceDataPacket",
    [0x1022] = "TeletextRawDataPacket",
    [0x1023] = "EyeWindowedVerticalHistogramData",
    [0x1024] = "VideoIp2110_21DataPacket",
    [0x1025] = "PtpMediaLatencyPacket",
    [0x1026] = "Captions608bytePairsRawDataPacket",
    [0x1027] = "RefVsPtpPacket",
    [0x1028] = "SCTE104RawDataPacket",
    [0x1029] = "LoudnessEngineRawDataPacket",
}

-- Receivers listen by type and sub-type together; these classes use a sub-type
-- other than 0.
local SUBTYPES = { [0x101D] = 1, [0x101E] = 3 }

vq.prefs.port = Pref.uint("TCP port", 29440, "TCP port of the control server (0: heuristics only)")
vq.prefs.max_payload = Pref.uint("Largest payload", 16777216,
    "A header that claims a larger payload is corrupt; the client skips it byte by byte")
vq.prefs.json_tree = Pref.bool("Show the JSON tree", true, "Hand the JSON text to the JSON dissector as well")

local f = {
    type = ProtoField.uint16("vq.type", "Type", base.HEX, TYPE_NAMES),
    subtype = ProtoField.uint16("vq.subtype", "Sub-type", base.DEC),
    length = ProtoField.uint32("vq.length", "Payload length", base.DEC),
    payload = ProtoField.bytes("vq.payload", "Payload"),
    garbage = ProtoField.bytes("vq.garbage", "Garbage"),
    corrupt = ProtoField.bytes("vq.corrupt_header", "Corrupt header"),
    json_length = ProtoField.uint32("vq.json.length", "JSON text length", base.DEC),
    class = ProtoField.string("vq.json.class", "Class"),
    path = ProtoField.string("vq.json.path", "Path"),
    client_id = ProtoField.string("vq.json.clientid", "ClientID"),
    packet_id = ProtoField.int64("vq.json.packetid", "PacketID"),
    datacore = ProtoField.string("vq.json.datacore", "Datacore"),
    event_class = ProtoField.string("vq.json.event_class", "Event class"),
    tree_client_id = ProtoField.string("vq.json.tree_clientid", "ClientId of the path tree"),
    caption_first = ProtoField.uint8("vq.captions.first", "First byte", base.HEX),
    caption_first_char = ProtoField.uint8("vq.captions.first_char", "First character", base.HEX, nil, 0x7F),
    caption_second = ProtoField.uint8("vq.captions.second", "Second byte", base.HEX),
    caption_second_char = ProtoField.uint8("vq.captions.second_char", "Second character", base.HEX, nil, 0x7F),
    caption_flag = ProtoField.uint8("vq.captions.flag", "Flag", base.DEC, nil, 0x01),
}

local e = {
    garbage = ProtoExpert.new("vq.garbage.skipped", "Not a frame header; a receiver skips these bytes one by one",
        expert.group.MALFORMED, expert.severity.WARN),
    corrupt = ProtoExpert.new("vq.corrupt_header.skipped", "Corrupt frame header",
        expert.group.MALFORMED, expert.severity.ERROR),
    subtype = ProtoExpert.new("vq.subtype.unexpected", "Unexpected sub-type",
        expert.group.PROTOCOL, expert.severity.WARN),
    truncated = ProtoExpert.new("vq.truncated", "Payload ends inside a field",
        expert.group.MALFORMED, expert.severity.WARN),
    bad_count = ProtoExpert.new("vq.bad_count", "List count does not fit the payload",
        expert.group.MALFORMED, expert.severity.WARN),
    trailing = ProtoExpert.new("vq.trailing", "Bytes after the last field", expert.group.PROTOCOL, expert.severity.NOTE),
    not_decoded = ProtoExpert.new("vq.not_decoded", "Payload layout is the sender's own; not decoded",
        expert.group.UNDECODED, expert.severity.NOTE),
    json_prefix = ProtoExpert.new("vq.json.prefix_mismatch", "JSON length prefix disagrees with the payload",
        expert.group.PROTOCOL, expert.severity.WARN),
    json_malformed = ProtoExpert.new("vq.json.malformed", "JSON text does not parse",
        expert.group.MALFORMED, expert.severity.WARN),
    json_no_class = ProtoExpert.new("vq.json.no_class", "No string \"Class\"; routed with an empty class name",
        expert.group.PROTOCOL, expert.severity.WARN),
    json_type = ProtoExpert.new("vq.json.wrong_type", "Member of an unexpected JSON type",
        expert.group.PROTOCOL, expert.severity.WARN),
    fault = ProtoExpert.new("vq.dissector_fault", "Dissector fault", expert.group.MALFORMED, expert.severity.ERROR),
}

-- JSON: only the members that route a packet are read here (down to the
-- members of top-level objects); the JSON dissector shows the whole text. The
-- scanner is iterative so that deep nesting cannot exhaust the stack.

local function skip_ws(s, i)
    local _, last = s:find("^[ \t\r\n]*", i)
    return last + 1
end

local function string_end(s, i)
    local j = i + 1
    while true do
        local k = s:find('["\\]', j)
        if not k then return nil end
        if s:byte(k) == 92 then j = k + 2 else return k end
    end
end

local function utf8_char(cp)
    if cp < 0x80 then return string.char(cp) end
    if cp < 0x800 then return string.char(0xC0 + math.floor(cp / 64), 0x80 + cp % 64) end
    if cp < 0x10000 then
        return string.char(0xE0 + math.floor(cp / 4096), 0x80 + math.floor(cp / 64) % 64, 0x80 + cp % 64)
    end
    return string.char(0xF0 + math.floor(cp / 262144), 0x80 + math.floor(cp / 4096) % 64,
        0x80 + math.floor(cp / 64) % 64, 0x80 + cp % 64)
end

local ESCAPES = { ['"'] = '"', ['\\'] = '\\', ['/'] = '/', b = '\b', f = '\f', n = '\n', r = '\r', t = '\t' }

-- The text of the string whose quotes are at first and last; nil for a bad escape.
local function decode_string(s, first, last)
    local inner = s:sub(first + 1, last - 1)
    if not inner:find("\\", 1, true) then return inner end
    local out, i = {}, 1
    while i <= #inner do
        local k = inner:find("\\", i, true)
        if not k then
            out[#out + 1] = inner:sub(i)
            break
        end
        out[#out + 1] = inner:sub(i, k - 1)
        local c = inner:sub(k + 1, k + 1)
        if c == "u" then
            local hex = inner:sub(k + 2, k + 5)
            if not hex:find("^%x%x%x%x$") then return nil end
            local cp = tonumber(hex, 16)
            i = k + 6
            local low = inner:match("^\\u(%x%x%x%x)", i)
            low = low and tonumber(low, 16)
            if cp >= 0xD800 and cp <= 0xDBFF and low and low >= 0xDC00 and low <= 0xDFFF then
                cp = 0x10000 + (cp - 0xD800) * 1024 + (low - 0xDC00)
                i = i + 6
            end
            out[#out + 1] = utf8_char(cp)
        elseif ESCAPES[c] then
            out[#out + 1] = ESCAPES[c]
            i = k + 2
        else
            return nil
        end
    end
    return table.concat(out)
end

local function number_end(s, i)
    local _, last = s:find("^-?%d+", i)
    if not last then return nil end
    local _, fraction = s:find("^%.%d+", last + 1)
    last = fraction or last
    local _, exponent = s:find("^[eE][+-]?%d+", last + 1)
    return (exponent or last) + 1
end

-- End of the object or array at i, checked for matching brackets only.
local function container_end(s, i)
    local closers, j = {}, i
    while true do
        local k = s:find('[%[%]{}"]', j)
        if not k then return nil, "unterminated object or array", #s + 1 end
        local c = s:byte(k)
        if c == 34 then
            local last = string_end(s, k)
            if not last then return nil, "unterminated string", k end
            j = last + 1
        elseif c == 123 or c == 91 then
            closers[#closers + 1] = (c == 123) and 125 or 93
            j = k + 1
        else
            if closers[#closers] ~= c then return nil, "mismatched '" .. string.char(c) .. "'", k end
            closers[#closers] = nil
            j = k + 1
            if #closers == 0 then return j end
        end
    end
end

-- Position after the value at i and its kind, or nil, message, position.
local function value_end(s, i)
    local c = s:byte(i)
    if c == nil then return nil, "unexpected end of text", i end
    if c == 34 then
        local last = string_end(s, i)
        if not last then return nil, "unterminated string", i end
        return last + 1, "string"
    end
    if c == 123 or c == 91 then
        local last, message, position = container_end(s, i)
        if not last then return nil, message, position end
        return last, (c == 123) and "object" or "array"
    end
    if c == 45 or (c >= 48 and c <= 57) then
        local last = number_end(s, i)
        if not last then return nil, "malformed number", i end
        return last, "number"
    end
    for _, literal in ipairs({ "true", "false", "null" }) do
        if s:sub(i, i + #literal - 1) == literal then return i + #literal, literal end
    end
    return nil, "unexpected character", i
end

local SEPARATOR = "\1"
local MEMBER_DEPTH = 2

-- Records members by path (keys joined by SEPARATOR) and the keys of each
-- object in order. Returns the position after the object, or nil, message, position.
local function scan_object(s, i, prefix, depth, scan)
    local keys = {}
    scan.keys[prefix] = keys
    i = skip_ws(s, i + 1)
    if s:byte(i) == 125 then return i + 1 end
    while true do
        if s:byte(i) ~= 34 then return nil, "expected a member name", i end
        local key_last = string_end(s, i)
        if not key_last then return nil, "unterminated string", i end
        local key = decode_string(s, i, key_last)
        if not key then return nil, "invalid escape", i end
        i = skip_ws(s, key_last + 1)
        if s:byte(i) ~= 58 then return nil, "expected ':'", i end
        i = skip_ws(s, i + 1)
        local first, last, kind, position = i
        if s:byte(i) == 123 and depth < MEMBER_DEPTH then
            last, kind, position = scan_object(s, i, prefix .. key .. SEPARATOR, depth + 1, scan)
            if last then kind = "object" end
        else
            last, kind, position = value_end(s, i)
        end
        if not last then return nil, kind, position end
        local member = { kind = kind, first = first, last = last - 1 }
        if kind == "string" then
            member.value = decode_string(s, first, last - 1)
            if not member.value then return nil, "invalid escape", first end
        elseif kind == "number" then
            member.value = tonumber(s:sub(first, last - 1))
        end
        -- Later duplicates win, as in the client's JSON parser.
        scan.members[prefix .. key] = member
        keys[#keys + 1] = key
        i = skip_ws(s, last)
        local c = s:byte(i)
        if c == 44 then
            i = skip_ws(s, i + 1)
        elseif c == 125 then
            return i + 1
        else
            return nil, "expected ',' or '}'", i
        end
    end
end

-- Returns the scan ({members, keys}) or nil, message, position (1-based).
local function scan_json(s)
    local scan = { members = {}, keys = {} }
    local i = skip_ws(s, 1)
    if i > #s then return nil, "empty text", i end
    if s:byte(i) ~= 123 then
        local last, kind = value_end(s, i)
        if last and kind == "array" and skip_ws(s, last) > #s then
            return nil, "an array, not an object; the packet has no members", i
        end
        return nil, "not a JSON object", i
    end
    local last, message, position = scan_object(s, i, "", 1, scan)
    if not last then return nil, message, position end
    local rest = skip_ws(s, last)
    if rest <= #s then return nil, "text after the object", rest end
    return scan
end

-- Binary layouts, in wire order. An entry is {name, wire} for one value,
-- {name, wire, n} for n values without a count, {name, "list", wire} or
-- {name, "list", record} for a qint32 count and its elements, {name, "address"}
-- for a null flag and an IPv4 address, {name, "bytes", n} for raw bytes.

local WIRE = {
    s8 = { size = 1, field = ProtoField.int8 },
    bool = { size = 1, field = ProtoField.bool },
    i16 = { size = 2, field = ProtoField.int16 },
    i32 = { size = 4, field = ProtoField.int32 },
    i64 = { size = 8, field = ProtoField.int64 },
    f64 = { size = 8, field = ProtoField.double },
}

local function value_text(wire, range)
    if wire == "i64" then return tostring(range:int64()) end
    if wire == "f64" then return string.format("%.17g", range:float()) end
    if wire == "bool" then return range:uint() ~= 0 and "True" or "False" end
    return tostring(range:int())
end

local WORDS = { { "word1", "i32" }, { "word2", "i32" }, { "word3", "i32" } }

-- Entries get their fields attached, so each layout needs its own copies.
local function with_words(rest)
    local layout = {}
    for _, word in ipairs(WORDS) do layout[#layout + 1] = { word[1], word[2] } end
    for _, entry in ipairs(rest) do layout[#layout + 1] = entry end
    return layout
end

local HISTOGRAM = { group = "histogram", { "bins", "list", "i32" } }
local METERS = { group = "meters", table.unpack(with_words({
    { "readings", "list", { { "channel", "i32" }, { "field2", "i32" }, { "field3", "i32" }, { "field4", "i32" },
        { "value", "f64" } } } })) }
local LINEAR_METERS = { group = "linearmeters", table.unpack(with_words({
    { "readings", "list", { { "channel", "i32" }, { "field2", "i32" }, { "field3", "i32" }, { "field4", "i32" },
        { "value", "i32" } } } })) }
local PIT = { group = "pit",
    { "field1", "i32" }, { "field2", "i32" }, { "field3", "i64" }, { "field4", "i32", 4 }, { "flags", "bool", 2 },
    { "bins", "i32", 64 }, { "field5", "i32" }, { "address1", "address" }, { "address2", "address" },
    { "field6", "i32", 3 }, { "address3", "address" }, { "field7", "i32", 2 }, { "field8", "i16" } }

local LAYOUTS = {
    [0x1011] = HISTOGRAM, [0x1012] = HISTOGRAM, [0x101B] = HISTOGRAM, [0x1023] = HISTOGRAM,
    [0x1013] = METERS, [0x1014] = METERS, [0x1015] = METERS, [0x1016] = METERS,
    [0x1017] = LINEAR_METERS,
    [0x1018] = { group = "st337", table.unpack(with_words({
        { "detections", "list", { { "field1", "i16" }, { "field2", "i32" }, { "field3", "i32" }, { "field4", "i32" },
            { "field5", "s8" }, { "field6", "s8" }, { "field7", "i16" }, { "field8", "i16" }, { "field9", "s8" },
            { "field10", "s8" }, { "field11", "s8" }, { "field12", "s8" } } },
        { "groups", "list", { { "words", "i16", 4 } } } })) },
    [0x1021] = { group = "aespresence", table.unpack(with_words({})) },
    [0x101A] = { group = "jitterspectrum",
        { "series1", "list", "f64" }, { "series2", "list", "f64" }, { "series3", "list", "f64" },
        { "field4", "i32" }, { "flag", "bool" }, { "field5", "i32" } },
    [0x101C] = PIT, [0x101D] = PIT, [0x101E] = PIT,
    [0x1020] = { group = "chanstatus", { "field1", "i32" }, { "field2", "i32" },
        { "channels", "list", { { "statusValid", "i32" }, { "field2", "i32" }, { "field3", "i32" }, { "field4", "i32" },
            { "status", "bytes", 24 }, { "field11", "i32" }, { "crccError", "i32" }, { "field13", "i32" } } },
        { "flag", "bool" } },
    [0x1024] = { group = "ip2110_21", { "field1", "i32", 6 }, { "field2", "f64", 4 }, { "field3", "i16", 2 },
        { "field4", "i32" } },
    [0x1025] = { group = "ptplatency", { "field1", "i64" }, { "field2", "i32", 6 }, { "field3", "i64" },
        { "field4", "i16" }, { "field5", "s8" }, { "field6", "s8" }, { "field7", "i64" }, { "field8", "i64" },
        { "field9", "i32" }, { "field10", "i32" }, { "field11", "i64" }, { "field12", "i32" }, { "field13", "i32" },
        { "field14", "i64" }, { "field15", "i32", 16 } },
    [0x1027] = { group = "refvsptp", { "field1", "i64" }, { "field2", "i32" }, { "field3", "i32" } },
    [0x1028] = { group = "scte104", { "field1", "i16", 11 }, { "field2", "i32" }, { "field3", "i16", 7 } },
    [0x1029] = { group = "loudness", { "field1", "i64" }, { "field2", "i64" }, { "field3", "i16", 4 },
        { "flags", "bool", 5 }, { "field4", "s8" }, { "field5", "i16" } },
}

-- One ProtoField per abbreviation, shared by the layouts that use it.
local layout_fields = {}

local function layout_field(abbreviation, label, make, ...)
    local field = layout_fields[abbreviation]
    if not field then
        field = make(abbreviation, label, ...)
        layout_fields[abbreviation] = field
        f[abbreviation] = field
    end
    return field
end

local function record_size(record)
    local size = 0
    for _, entry in ipairs(record) do
        local wire, n = entry[2], entry[3]
        if wire == "bytes" then
            size = size + n
        elseif wire == "address" then
            size = size + 5
        else
            size = size + WIRE[wire].size * (n or 1)
        end
    end
    return size
end

-- Gives every entry its fields (entry.field, entry.count_field, ...) and each
-- record its size, once at load time.
local function prepare(layout, prefix)
    for _, entry in ipairs(layout) do
        local name, wire, arg = entry[1], entry[2], entry[3]
        local abbreviation = prefix .. name
        if wire == "list" then
            entry.count_field = layout_field(abbreviation .. ".count", name .. " count", ProtoField.int32)
            if type(arg) == "table" then
                prepare(arg, abbreviation .. ".")
                arg.size = record_size(arg)
            else
                entry.field = layout_field(abbreviation, name, WIRE[arg].field)
            end
        elseif wire == "address" then
            entry.null_field = layout_field(abbreviation .. ".null", name .. " is null", ProtoField.bool)
            entry.field = layout_field(abbreviation, name, ProtoField.ipv4)
        elseif wire == "bytes" then
            entry.field = layout_field(abbreviation, name, ProtoField.bytes)
        else
            entry.field = layout_field(abbreviation, name, WIRE[wire].field)
        end
    end
end

do
    local prepared = {}
    for _, layout in pairs(LAYOUTS) do
        if not prepared[layout] then
            prepared[layout] = true
            prepare(layout, "vq." .. layout.group .. ".")
        end
    end
end

vq.fields = f
vq.experts = e

-- Walks a payload along a layout. Stops, as the client's reader does, at the
-- first field that does not fit and at a list count that is negative or
-- larger than the bytes left can hold (after showing the elements that fit).
local Walker = {}
Walker.__index = Walker

local function new_walker(payload)
    return setmetatable({ tvb = payload, offset = 0, size = payload and payload:len() or 0, stopped = false,
        first_count = nil }, Walker)
end

function Walker:left()
    return self.size - self.offset
end

function Walker:stop(tree, expert_field, text)
    self.stopped = true
    tree:add_proto_expert_info(expert_field, text)
end

function Walker:need(tree, bytes, name)
    if self:left() >= bytes then return true end
    self:stop(tree, e.truncated, string.format("Payload of %d bytes ends inside %s at byte %d", self.size, name,
        self.offset))
    return false
end

function Walker:value(tree, field, wire, label)
    local size = WIRE[wire].size
    if not self:need(tree, size, label) then return nil end
    local range = self.tvb(self.offset, size)
    local item = tree:add(field, range)
    if label then item:set_text(label .. ": " .. value_text(wire, range)) end
    self.offset = self.offset + size
    return range
end

function Walker:address(tree, entry)
    if not self:need(tree, 5, entry[1]) then return end
    local null_range = self.tvb(self.offset, 1)
    local address_range = self.tvb(self.offset + 1, 4)
    local is_null = null_range:uint() ~= 0
    local subtree = tree:add(vq, self.tvb(self.offset, 5), entry[1] .. ": " ..
        (is_null and "(none)" or tostring(address_range:ipv4())))
    subtree:add(entry.null_field, null_range)
    subtree:add(entry.field, address_range)
    self.offset = self.offset + 5
end

function Walker:bytes(tree, entry)
    local n = entry[3]
    if not self:need(tree, n, entry[1]) then return end
    local range = self.tvb(self.offset, n)
    local item = tree:add(entry.field, range)
    if entry[1] == "status" then
        item:append_text((range(0, 1):uint() % 2 == 1) and " (professional)" or " (consumer)")
    end
    self.offset = self.offset + n
end

function Walker:list(tree, entry)
    local name, element = entry[1], entry[3]
    if not self:need(tree, 4, name .. " count") then return end
    local count_range = self.tvb(self.offset, 4)
    local count = count_range:int()
    tree:add(entry.count_field, count_range)
    self.offset = self.offset + 4
    self.first_count = self.first_count or { count = count, name = name }
    local element_size = (type(element) == "table") and element.size or WIRE[element].size
    local fitting = math.floor(self:left() / element_size)
    local shown = math.min(math.max(count, 0), fitting)
    for index = 0, math.min(shown, MAX_LISTED) - 1 do
        if type(element) == "table" then
            local subtree = tree:add(vq, self.tvb(self.offset, element_size), string.format("%s[%d]", name, index))
            self:walk(subtree, element)
        else
            self:value(tree, entry.field, element, string.format("%s[%d]", name, index))
        end
    end
    if shown > MAX_LISTED then
        tree:add(vq, self.tvb(self.offset, (shown - MAX_LISTED) * element_size),
            string.format("%d more %s not listed", shown - MAX_LISTED, name))
        self.offset = self.offset + (shown - MAX_LISTED) * element_size
    end
    if count < 0 or count > fitting then
        self:stop(tree, e.bad_count, string.format("%s count %d: only %d bytes left, room for %d", name, count,
            self:left() + shown * element_size, fitting))
    end
end

function Walker:walk(tree, layout)
    for _, entry in ipairs(layout) do
        if self.stopped then return end
        local name, wire, arg = entry[1], entry[2], entry[3]
        if wire == "list" then
            self:list(tree, entry)
        elseif wire == "address" then
            self:address(tree, entry)
        elseif wire == "bytes" then
            self:bytes(tree, entry)
        elseif arg then
            for index = 0, arg - 1 do
                if not self:value(tree, entry.field, wire, string.format("%s[%d]", name, index)) then return end
            end
        else
            self:value(tree, entry.field, wire, name)
        end
    end
end

local function dissect_captions(payload, tree)
    local size = payload and payload:len() or 0
    local pairs_count = math.floor(size / 3)
    for index = 0, math.min(pairs_count, MAX_LISTED) - 1 do
        local range = payload(index * 3, 3)
        local first, second = range(0, 1):uint() % 128, range(1, 1):uint() % 128
        local function printable(c) return (c >= 32 and c < 127) and string.char(c) or "." end
        local subtree = tree:add(vq, range, string.format("pair[%d]: \"%s%s\" flag %d", index, printable(first),
            printable(second), range(2, 1):uint() % 2))
        subtree:add(f.caption_first, range(0, 1))
        subtree:add(f.caption_first_char, range(0, 1))
        subtree:add(f.caption_second, range(1, 1))
        subtree:add(f.caption_second_char, range(1, 1))
        subtree:add(f.caption_flag, range(2, 1))
    end
    -- The layout has no count: a remainder is ignored, as the client does, and only noted.
    if size % 3 ~= 0 then
        tree:add_proto_expert_info(e.trailing, string.format("%d bytes after the last byte pair", size % 3))
    end
    return string.format("%d pairs", pairs_count)
end

local function dissect_measurement(packet_type, payload, tree)
    if packet_type == 0x1026 then return dissect_captions(payload, tree) end
    local layout = LAYOUTS[packet_type]
    if not layout then
        tree:add_proto_expert_info(e.not_decoded)
        return nil
    end
    local walker = new_walker(payload)
    walker:walk(tree, layout)
    if not walker.stopped and walker:left() > 0 then
        tree:add_proto_expert_info(e.trailing, string.format("%d bytes after the last field", walker:left()))
    end
    if walker.first_count then
        return string.format("%d %s", walker.first_count.count, walker.first_count.name)
    end
    return nil
end

local json_dissector
do
    local ok, dissector = pcall(Dissector.get, "json")
    if ok then json_dissector = dissector end
end

local function text_member(tree, field, text_tvb, scan, path, label)
    local member = scan.members[path]
    if not member then return nil end
    local range = text_tvb(member.first - 1, member.last - member.first + 1)
    if member.kind ~= "string" then
        tree:add_proto_expert_info(e.json_type, string.format("\"%s\" is a JSON %s, not a string", label,
            member.kind))
        return nil
    end
    tree:add(field, range, member.value)
    return member.value
end

local function dissect_json(payload, pinfo, tree)
    local size = payload and payload:len() or 0
    if size < 4 then
        tree:add_proto_expert_info(e.json_malformed, "Payload shorter than its 4-byte length prefix: empty text")
        return "(no class)"
    end
    local prefix = payload(0, 4):uint()
    local prefix_item = tree:add(f.json_length, payload(0, 4))
    if prefix ~= size - 4 then
        prefix_item:add_proto_expert_info(e.json_prefix, string.format(
            "Length prefix %d, but %d bytes of text follow; receivers read to the end of the payload", prefix,
            size - 4))
    end
    if size == 4 then
        tree:add_proto_expert_info(e.json_malformed, "Empty JSON text")
        return "(no class)"
    end
    local text_tvb = payload(4, size - 4):tvb()
    local scan, message, position = scan_json(text_tvb:raw())
    if not scan then
        tree:add_proto_expert_info(e.json_malformed, string.format("JSON text does not parse at byte %d: %s",
            position - 1, message))
        return "(no class)"
    end

    local class = text_member(tree, f.class, text_tvb, scan, "Class", "Class")
    if class == nil or class == "" then tree:add_proto_expert_info(e.json_no_class) end
    local path = text_member(tree, f.path, text_tvb, scan, "Path", "Path")
    local client_id = text_member(tree, f.client_id, text_tvb, scan, "ClientID", "ClientID")
    local packet_id = scan.members["PacketID"]
    if packet_id then
        local range = text_tvb(packet_id.first - 1, packet_id.last - packet_id.first + 1)
        if packet_id.kind == "number" and packet_id.value == math.floor(packet_id.value)
            and math.abs(packet_id.value) < 2 ^ 53 then
            tree:add(f.packet_id, range, Int64.new(packet_id.value))
        else
            tree:add_proto_expert_info(e.json_type, "\"PacketID\" is not an integer; receivers read it as -1")
            packet_id = nil
        end
    end
    local datacore_keys = scan.keys["Datacore" .. SEPARATOR]
    if datacore_keys and datacore_keys[1] then
        local member = scan.members["Datacore" .. SEPARATOR .. datacore_keys[1]]
        tree:add(f.datacore, text_tvb(member.first - 1, member.last - member.first + 1), datacore_keys[1])
    end
    local event = text_member(tree, f.event_class, text_tvb, scan, "logPacket" .. SEPARATOR .. "Class",
        "logPacket.Class")
    text_member(tree, f.tree_client_id, text_tvb, scan, "ClientId", "ClientId")

    if vq.prefs.json_tree and json_dissector then
        pcall(json_dissector.call, json_dissector, text_tvb, pinfo, tree)
    end

    local summary = (class and class ~= "") and class or "(no class)"
    if event then summary = summary .. " " .. event end
    if path then summary = summary .. " " .. path end
    if client_id then summary = summary .. " ClientID=" .. client_id end
    if packet_id then summary = summary .. " PacketID=" .. string.format("%d", packet_id.value) end
    return summary
end

local function valid_type(packet_type)
    return packet_type >= FIRST_TYPE and packet_type <= LAST_TYPE
end

-- Offset of the first byte at or after from where a valid type id starts (a
-- last 0x10 may start one in the next segment), or the end of the buffer.
local function next_candidate(tvb, from)
    local size = tvb:len()
    if from >= size then return size end
    local raw = tvb:raw(from, size - from)
    local found = raw:find("\16[\16-\41]")
    if found then return from + found - 1 end
    if raw:byte(#raw) == 0x10 then return size - 1 end
    return size
end

local function header_fields(tree, tvb, offset)
    tree:add(f.type, tvb(offset, 2))
    tree:add(f.subtype, tvb(offset + 2, 2))
    tree:add(f.length, tvb(offset + 4, 4))
end

local function dissect_frame(tvb, pinfo, tree, offset, packet_type, payload_length)
    local frame_range = tvb(offset, HEADER_SIZE + payload_length)
    local item = tree:add(vq, frame_range)
    header_fields(item, tvb, offset)
    local name = TYPE_NAMES[packet_type]
    local subtype = tvb(offset + 2, 2):uint()
    local expected = SUBTYPES[packet_type] or 0
    if subtype ~= expected then
        item:add_proto_expert_info(e.subtype, string.format(
            "Sub-type %d; receivers of %s listen for sub-type %d", subtype, name, expected))
    end
    local payload = payload_length > 0 and tvb(offset + HEADER_SIZE, payload_length):tvb() or nil
    local ok, detail
    if packet_type == JSON_TYPE then
        ok, detail = pcall(dissect_json, payload, pinfo, item)
    else
        if payload then item:add(f.payload, tvb(offset + HEADER_SIZE, payload_length)) end
        ok, detail = pcall(dissect_measurement, packet_type, payload, item)
        if ok then detail = detail and (name .. " " .. detail) or name end
    end
    if not ok then
        item:add_proto_expert_info(e.fault, tostring(detail))
        detail = name
    end
    item:append_text(", " .. detail)
    return detail
end

-- The JSON dissector writes the columns too, so they are put back together
-- from what they held when this call began. TCP resets the protocol column
-- for every dissection of a frame: if it already says VQ, an earlier call for
-- this frame wrote the info column.
local function set_columns(pinfo, entry_protocol, entry_info, summaries)
    local text = table.concat(summaries, ", ")
    if entry_protocol == "VQ" and text ~= "" then
        text = entry_info .. ", " .. text
    elseif entry_protocol == "VQ" or text == "" then
        text = entry_info
    end
    -- TCP fences the info column between calls; the whole text is rewritten.
    pinfo.cols.info:clear_fence()
    pinfo.cols.info:set(text)
    pinfo.cols.info:fence()
    pinfo.cols.protocol:clear_fence()
    pinfo.cols.protocol:set("VQ")
end

function vq.dissector(tvb, pinfo, tree)
    local size = tvb:len()
    local offset = 0
    local summaries = {}
    local entry_protocol, entry_info = tostring(pinfo.cols.protocol), tostring(pinfo.cols.info)
    local function need_more(bytes)
        if pinfo.can_desegment > 0 then
            pinfo.desegment_offset = offset
            pinfo.desegment_len = bytes
            return true
        end
        tree:add(vq, tvb(offset, size - offset), "Frame continues beyond this segment (reassembly is off)")
        return true
    end

    while offset < size do
        local left = size - offset
        -- A lone last byte can only start a header if it is 0x10.
        local packet_type = left >= 2 and tvb(offset, 2):uint() or tvb(offset, 1):uint() * 256
        if not valid_type(packet_type) and (left >= 2 or packet_type ~= 0x1000) then
            local next_offset = next_candidate(tvb, offset + 1)
            local range = tvb(offset, next_offset - offset)
            local summary = string.format("Garbage (%d bytes)", next_offset - offset)
            local item = tree:add(vq, range):append_text(", " .. summary)
            item:add(f.garbage, range):add_proto_expert_info(e.garbage)
            summaries[#summaries + 1] = summary
            offset = next_offset
        elseif left < HEADER_SIZE then
            if need_more(DESEGMENT_ONE_MORE_SEGMENT) then break end
        else
            local payload_length = tvb(offset + 4, 4):uint()
            if payload_length > vq.prefs.max_payload then
                -- The client steps one byte on; a valid type inside these
                -- eight bytes would start the next header.
                local next_offset = math.min(next_candidate(tvb, offset + 1), offset + HEADER_SIZE)
                local range = tvb(offset, next_offset - offset)
                local item = tree:add(vq, range):append_text(", Corrupt header")
                item:add(f.corrupt, range):add_proto_expert_info(e.corrupt, string.format(
                    "Header claims a payload of %d bytes, more than %d; skipped as corrupt", payload_length,
                    vq.prefs.max_payload))
                summaries[#summaries + 1] = "Corrupt header"
                offset = next_offset
            elseif left < HEADER_SIZE + payload_length then
                if need_more(HEADER_SIZE + payload_length - left) then break end
            else
                summaries[#summaries + 1] = dissect_frame(tvb, pinfo, tree, offset, packet_type, payload_length)
                offset = offset + HEADER_SIZE + payload_length
            end
        end
    end
    set_columns(pinfo, entry_protocol, entry_info, summaries)
    return size
end

-- Claims a TCP stream on another port when its first bytes are a plausible header.
local function heuristic(tvb, pinfo, tree)
    if tvb:len() < HEADER_SIZE then return false end
    local packet_type = tvb(0, 2):uint()
    if not valid_type(packet_type) or tvb(2, 2):uint() ~= (SUBTYPES[packet_type] or 0) then return false end
    local payload_length = tvb(4, 4):uint()
    if payload_length > vq.prefs.max_payload then return false end
    if packet_type == JSON_TYPE and (payload_length < 5 or (tvb:len() > 12 and tvb(12, 1):uint() ~= 0x7B)) then
        return false
    end
    pinfo.conversation = vq
    vq.dissector(tvb, pinfo, tree)
    return true
end

local tcp_port_table = DissectorTable.get("tcp.port")
local registered_port = 0

local function register_port()
    if registered_port ~= 0 then tcp_port_table:remove(registered_port, vq) end
    registered_port = vq.prefs.port
    if registered_port ~= 0 then tcp_port_table:add(registered_port, vq) end
end

function vq.prefs_changed()
    if vq.prefs.port ~= registered_port then register_port() end
end

register_port()
vq:register_heuristic("tcp", heuristic)
