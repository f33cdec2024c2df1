// Reads each page given on the command line as a browser does (jsdom's HTML5
// parser), has DOMPurify sanitise the whole document and prints, one a line,
// what it removed that can run: script-like elements, a refreshing <meta>,
// event handlers and URLs with a scheme that DOMPurify refuses. What it
// removes only as markup it does not know (the office's own elements and
// attributes, <head>, <title>) does not count. Exit status 1 when anything
// was found; otherwise it says how many pages it read.
'use strict';
const fs = require('fs');
const { JSDOM, VirtualConsole } = require('jsdom');
const createDOMPurify = require('dompurify');

// A console of its own, so that what jsdom says of a style sheet it cannot
// read is not taken for a finding.
const DOMPurify = createDOMPurify(new JSDOM('', { virtualConsole: new VirtualConsole() }).window);
const activeElements = new Set(['script', 'iframe', 'frame', 'frameset', 'object', 'embed',
                                'applet', 'base', 'portal']);
const urlAttributes = new Set(['href', 'src', 'action', 'formaction', 'background', 'poster',
                               'cite', 'longdesc', 'usemap', 'codebase', 'data', 'classid',
                               'archive', 'profile', 'manifest', 'dynsrc', 'lowsrc', 'srcset',
                               'xlink:href', 'ping', 'icon', 'code']);

// Whether DOMPurify accepts the address in the place where it stands: a
// picture's source, else a link.
function urlAccepted(tag, value) {
    return tag === 'img' ? DOMPurify.isValidAttribute('img', 'src', value)
                         : DOMPurify.isValidAttribute('a', 'href', value);
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
        else if (urlAttributes.has(name) && !urlAccepted(tag, attribute.value))
            parts.push('<' + tag + ' ' + name + '="' + attribute.value + '">');
    }
    return parts;
}

let found = 0;
for (const page of process.argv.slice(2)) {
    // An element is removed with what it holds, so each removal is seen once:
    // the element and everything inside it.
    DOMPurify.sanitize(fs.readFileSync(page, 'utf8'), { WHOLE_DOCUMENT: true, KEEP_CONTENT: false });
    const parts = [];
    for (const item of DOMPurify.removed.slice()) {
        if (item.element && item.element.nodeType === 1) {
            for (const element of [item.element, ...item.element.querySelectorAll('*')])
                parts.push(...activeParts(element.localName, Array.from(element.attributes), true));
        } else if (item.attribute && item.from) {
            parts.push(...activeParts(item.from.localName, [item.attribute], false));
        }
    }
    for (const part of parts)
        console.log(page + ': ' + part);
    found += parts.length;
}
if (!found)
    console.log('checked ' + (process.argv.length - 2) + ' pages');
process.exit(found ? 1 : 0);
