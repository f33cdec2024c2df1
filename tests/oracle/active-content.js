// Reads each page given on the command line as a browser does (jsdom's HTML5
// parser), has DOMPurify sanitise the whole document and prints, one a line,
// what it removed that can run: script-like elements, a refreshing <meta>,
// event handlers and URLs with a scheme that DOMPurify refuses. What it
// removes only as markup it does not know (the office's own elements and
// attributes, <head>, <title>) does not count. Besides, every URL attribute
// of the page whose scheme, read as a browser reads it, is javascript:,
// vbscript: or data: of anything but a PNG, JPEG or GIF picture is printed,
// where DOMPurify keeps it or not (it keeps any data: on a picture). Exit
// status 1 when anything was found; otherwise it says how many pages it read.
'use strict';
const fs = require('fs');
const { JSDOM, VirtualConsole } = require('jsdom');
const createDOMPurify = require('dompurify');

// A console of its own, so that what jsdom says of a style sheet it cannot
// read is not taken for a finding.
const DOMPurify = createDOMPurify(new JSDOM('', { virtualConsole: new VirtualConsole() }).window);
const activeElements = new Set(
    ['script', 'iframe', 'frame', 'frameset', 'object', 'embed', 'applet', 'base', 'portal']);
const urlAttributes = new Set(['href', 'src', 'action', 'formaction', 'background', 'poster', 'cite',
    'longdesc', 'usemap', 'codebase', 'data', 'classid', 'archive', 'profile', 'manifest', 'dynsrc',
    'lowsrc', 'srcset', 'xlink:href', 'ping', 'icon', 'code']);

// Whether a browser would run the address or show it as a document: the
// WHATWG URL parser (Node's, as browsers have it) drops leading and trailing
// controls and spaces and every tab and line break, and reads the scheme
// ignoring case. A data: URL counts by its media type.
const pictureTypes = new Set(['image/png', 'image/jpeg', 'image/gif']);
function schemeCanRun(value) {
    let url;
    try { url = new URL(value, 'http://page.invalid/'); } catch { return false; }
    const type = url.pathname.split(',')[0].split(';')[0].trim().toLowerCase();
    return url.protocol === 'javascript:' || url.protocol === 'vbscript:' ||
        (url.protocol === 'data:' && !pictureTypes.has(type));
}

// Every URL attribute of the document whose address can run (srcset lists
// several, each before its descriptors).
function runnableAddresses(document) {
    const parts = [];
    for (const element of document.querySelectorAll('*'))
        for (const { name, value } of Array.from(element.attributes)) {
            const addresses = name.toLowerCase() === 'srcset'
                ? value.split(/[\t\n\f\r ]+/).map(part => part.replace(/^,+|,+$/g, '')) : [value];
            if (urlAttributes.has(name.toLowerCase()) && addresses.some(schemeCanRun))
                parts.push('<' + element.localName + ' ' + name.toLowerCase() + '="' + value + '">');
        }
    return parts;
}

// What in one element can run: the element itself, or one of its attributes.
function activeParts(tag, attributes, withElement) {
    const parts = [];
    if (withElement && activeElements.has(tag))
        parts.push('<' + tag + '>');
    for (const attribute of attributes) {
        const name = attribute.name.toLowerCase();
        if (tag === 'meta' && name === 'http-equiv' && /^\s*refresh\s*$/i.test(attribute.value))
            parts.push('<meta http-equiv="refresh">');
        else if (name.startsWith('on'))
            parts.push('<' + tag + ' ' + name + '>');
        // DOMPurify judges the address where it stands: a picture's source, else a link.
        else if (urlAttributes.has(name) && !DOMPurify.isValidAttribute(
            tag === 'img' ? 'img' : 'a', tag === 'img' ? 'src' : 'href', attribute.value))
            parts.push('<' + tag + ' ' + name + '="' + attribute.value + '">');
    }
    return parts;
}

let found = 0;
for (const page of process.argv.slice(2)) {
    // An element is removed with what it holds, so each removal is seen once:
    // the element and everything inside it.
    const html = fs.readFileSync(page, 'utf8');
    DOMPurify.sanitize(html, { WHOLE_DOCUMENT: true, KEEP_CONTENT: false });
    const parts = [];
    for (const item of DOMPurify.removed.slice()) {
        if (item.element && item.element.nodeType === 1) {
            for (const element of [item.element, ...item.element.querySelectorAll('*')])
                parts.push(...activeParts(element.localName, Array.from(element.attributes), true));
        } else if (item.attribute && item.from) {
            parts.push(...activeParts(item.from.localName, [item.attribute], false));
        }
    }
    parts.push(...runnableAddresses(
        new JSDOM(html, { virtualConsole: new VirtualConsole() }).window.document));
    const unique = [...new Set(parts)];
    for (const part of unique)
        console.log(page + ': ' + part);
    found += unique.length;
}
if (!found)
    console.log('checked ' + (process.argv.length - 2) + ' pages');
process.exit(found ? 1 : 0);
