// The page's worker: the reader, compiled from the same C++ as pkginspect,
// decodes packages here, off the page's thread. It keeps the bytes of each
// package it was given, for the binary objects the page asks for later, and
// makes the files that pkginspect --unpack writes when the page asks for one.
'use strict';

const readerReady = createReader();
const packages = new Map();
const names = new Map();
const indexes = new Map();  // each package's --unpack files, once asked for

// Copies the package into the reader's memory for the length of one call.
function withPackage(reader, bytes, call) {
  const at = reader._malloc(Math.max(bytes.length, 1));
  reader.HEAPU8.set(bytes, at);
  try {
    return call(at);
  } finally {
    reader._free(at);
  }
}

// A call with the package's bytes and its file name in the reader's memory.
function withNamedPackage(reader, bytes, name, call) {
  const nameLength = reader.lengthBytesUTF8(name) + 1;
  const nameAt = reader._malloc(nameLength);
  reader.stringToUTF8(name, nameAt, nameLength);
  try {
    return withPackage(reader, bytes, (at) => call(at, nameAt));
  } finally {
    reader._free(nameAt);
  }
}

function inspect(reader, bytes, name) {
  return withNamedPackage(reader, bytes, name, (at, nameAt) =>
    reader.UTF8ToString(reader._InspectJson(at, bytes.length, nameAt)));
}

// What a call that returns bytes (their number at its last argument) returned.
function returnedBytes(reader, call) {
  const lengthAt = reader._malloc(8);
  try {
    const start = call(lengthAt);
    return reader.HEAPU8.slice(start, start + reader.HEAPF64[lengthAt / 8]);
  } finally {
    reader._free(lengthAt);
  }
}

function unpackIndex(reader, id) {
  if (!indexes.has(id)) {
    const bytes = packages.get(id);
    indexes.set(id, JSON.parse(withNamedPackage(reader, bytes, names.get(id), (at, nameAt) =>
      reader.UTF8ToString(reader._UnpackIndexJson(at, bytes.length, nameAt)))));
  }
  return indexes.get(id);
}

// The file --unpack makes of the binary at `offset` in `format`, or null.
function unpackedFile(reader, id, offset, format) {
  const index = unpackIndex(reader, id);
  const k = index.files.findIndex((file) => file.offset === offset && file.format === format);
  if (k < 0) return null;
  const bytes = packages.get(id);
  return { name: index.files[k].name, bytes: withNamedPackage(reader, bytes, names.get(id), (at, nameAt) =>
    returnedBytes(reader, (lengthAt) => reader._UnpackFileBytes(at, bytes.length, nameAt, k, lengthAt))) };
}

function unpackedZip(reader, id) {
  const bytes = packages.get(id);
  return { name: `${unpackIndex(reader, id).folder}.zip`, bytes: withNamedPackage(reader, bytes, names.get(id),
    (at, nameAt) => returnedBytes(reader, (lengthAt) => reader._UnpackZip(at, bytes.length, nameAt, lengthAt))) };
}

// A function's JSON, made when the page opens it; null where none lies there.
function functionJson(reader, bytes, offset) {
  const text = withPackage(reader, bytes, (at) =>
    reader.UTF8ToString(reader._InspectFunctionJson(at, bytes.length, offset)));
  return text ? JSON.parse(text) : null;
}

function binaryBytes(reader, bytes, offset) {
  return withPackage(reader, bytes, (at) => {
    const lengthAt = reader._malloc(8);
    try {
      const start = reader._FindBinaryBytes(at, bytes.length, offset, lengthAt);
      if (start < 0) return null;
      return bytes.slice(start, start + reader.HEAPF64[lengthAt / 8]);
    } finally {
      reader._free(lengthAt);
    }
  });
}

self.onmessage = async (event) => {
  const reader = await readerReady;
  const message = event.data;
  if (message.kind === 'open') {
    const bytes = new Uint8Array(message.bytes);
    packages.set(message.id, bytes);
    names.set(message.id, message.name);
    let json;
    try {
      json = JSON.parse(inspect(reader, bytes, message.name));
    } catch (error) {
      // The reader ran out of memory, say: the page names the file and why.
      json = { file: message.name, error: `the reader stopped: ${error.message || error}` };
    }
    self.postMessage({ kind: 'json', id: message.id, json });
  } else if (message.kind === 'function') {
    const json = functionJson(reader, packages.get(message.id), message.offset);
    self.postMessage({ kind: 'function', request: message.request, json });
  } else if (message.kind === 'binary') {
    const bytes = binaryBytes(reader, packages.get(message.id), message.offset);
    self.postMessage({ kind: 'binary', request: message.request, bytes }, bytes ? [bytes.buffer] : []);
  } else if (message.kind === 'file' || message.kind === 'zip') {
    const file = message.kind === 'zip' ? unpackedZip(reader, message.id)
      : unpackedFile(reader, message.id, message.offset, message.format);
    self.postMessage({ kind: 'file', request: message.request, file }, file ? [file.bytes.buffer] : []);
  }
};
