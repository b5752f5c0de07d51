// Property lists read in the roads' own code, XML or binary, so that what the
// studio wrote is checked by a reader other than the one it wrote with.
// Dictionaries become plain objects, integers and reals numbers, data Buffers,
// dates Dates. A file that is not a property list throws.
import fs from 'node:fs';

const XML_ENTITIES = { amp: '&', lt: '<', gt: '>', quot: '"', apos: "'" };

function xmlText(text) {
  return text.replace(/&(#x[0-9a-f]+|#\d+|\w+);/gi, (whole, name) => {
    if (name[0] !== '#') return XML_ENTITIES[name] ?? whole;
    return String.fromCodePoint(name[1] === 'x' || name[1] === 'X' ? parseInt(name.slice(2), 16) : Number(name.slice(1)));
  });
}

function parseXml(text) {
  const tokens = text.replace(/<\?[^]*?\?>|<!--[^]*?-->|<!DOCTYPE[^>]*>/g, '')
    .match(/<[^>]+>|[^<]+/g).filter((token) => token.trim() !== '');
  let at = 0;
  const next = () => {
    if (at >= tokens.length) throw new Error('the XML property list ends early');
    return tokens[at++];
  };
  const textUntil = (close) => {
    let inner = '';
    for (let token = next(); token !== close; token = next()) inner += token;
    return xmlText(inner);
  };
  const value = () => {
    const open = next();
    switch (open) {
      case '<true/>': return true;
      case '<false/>': return false;
      case '<dict/>': return {};
      case '<array/>': return [];
      case '<string/>': return '';
      case '<string>': return textUntil('</string>');
      case '<integer>': case '<real>': return Number(textUntil(open.replace('<', '</')));
      case '<data>': return Buffer.from(textUntil('</data>'), 'base64');
      case '<date>': return new Date(textUntil('</date>'));
      case '<array>': {
        const items = [];
        while (tokens[at] !== '</array>') items.push(value());
        next();
        return items;
      }
      case '<dict>': {
        const entries = {};
        for (let token = next(); token !== '</dict>'; token = next()) {
          if (token !== '<key>') throw new Error(`a dictionary holds ${token} where a key belongs`);
          const key = textUntil('</key>');
          entries[key] = value();
        }
        return entries;
      }
      default: throw new Error(`${open} is no property list value`);
    }
  };
  if (!/^<plist[\s>]/.test(next())) throw new Error('no <plist> element');
  return value();
}

// Seconds from 1970 to 2001, the binary format's epoch.
const BINARY_EPOCH = 978307200;

function parseBinary(bytes) {
  const trailer = bytes.length - 32;
  const offsetSize = bytes[trailer + 6], refSize = bytes[trailer + 7];
  const count = Number(bytes.readBigUInt64BE(trailer + 8));
  const top = Number(bytes.readBigUInt64BE(trailer + 16));
  const table = Number(bytes.readBigUInt64BE(trailer + 24));
  const unsigned = (at, size) => bytes.readUIntBE(at, size);
  const offsetOf = (index) => {
    if (index >= count) throw new Error(`object ${index} of ${count}`);
    return unsigned(table + index * offsetSize, offsetSize);
  };
  const object = (index, depth) => {
    if (depth > 64) throw new Error('nested too deep');
    const at = offsetOf(index);
    const marker = bytes[at] >> 4, low = bytes[at] & 0xf;
    // A length of 15 or more follows the marker as an integer object.
    let length = low, start = at + 1;
    if (low === 0xf && [0x4, 0x5, 0x6, 0xa, 0xd].includes(marker)) {
      const size = 1 << (bytes[at + 1] & 0xf);
      length = Number(size === 8 ? bytes.readBigUInt64BE(at + 2) : unsigned(at + 2, size));
      start = at + 2 + size;
    }
    const refs = (from, n) => Array.from({ length: n }, (_, i) => unsigned(from + i * refSize, refSize));
    switch (marker) {
      case 0x0:
        if (low === 0x8 || low === 0x9) return low === 0x9;
        break;
      case 0x1: {
        const size = 1 << low;
        return size === 8 ? Number(bytes.readBigInt64BE(start)) : unsigned(start, size);
      }
      case 0x2: return low === 2 ? bytes.readFloatBE(start) : bytes.readDoubleBE(start);
      case 0x3: return new Date((bytes.readDoubleBE(start) + BINARY_EPOCH) * 1000);
      case 0x4: return Buffer.from(bytes.subarray(start, start + length));
      case 0x5: return bytes.toString('latin1', start, start + length);
      case 0x6: return Buffer.from(bytes.subarray(start, start + 2 * length)).swap16().toString('utf16le');
      case 0xa: return refs(start, length).map((ref) => object(ref, depth + 1));
      case 0xd: {
        const keys = refs(start, length), values = refs(start + length * refSize, length);
        return Object.fromEntries(keys.map((key, i) => [object(key, depth + 1), object(values[i], depth + 1)]));
      }
      default:
    }
    throw new Error(`marker 0x${bytes[at].toString(16)} at ${at}`);
  };
  return object(top, 0);
}

// A property list's bytes as a value.
export function parsePlist(bytes) {
  if (bytes.subarray(0, 8).toString('latin1') === 'bplist00') return parseBinary(bytes);
  return parseXml(bytes.toString('utf8'));
}

// The file as a value, or null when it is missing or is no property list.
export function readPlist(path) {
  try {
    return parsePlist(fs.readFileSync(path));
  } catch {
    return null;
  }
}
