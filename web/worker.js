// The page's worker: the reader, compiled from the same C++ as pkginspect,
// decodes packages here, off the page's thread. It keeps the bytes of each
// package it was given, for the binary objects the page asks for later.
'use strict';

const readerReady = createReader();
const packages = new Map();

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

function inspect(reader, bytes, name) {
  const nameLength = reader.lengthBytesUTF8(name) + 1;
  const nameAt = reader._malloc(nameLength);
  reader.stringToUTF8(name, nameAt, nameLength);
  try {
    return withPackage(reader, bytes, (at) =>
      reader.UTF8ToString(reader._InspectJson(at, bytes.length, nameAt)));
  } finally {
    reader._free(nameAt);
  }
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
  }
};
