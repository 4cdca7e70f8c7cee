// Runs in the right-clicked page (or frame): what Lumorel's pages read of
// it. Self-contained, since the browser runs it there by its source.
export function collectPage(pictureAddress) {
  const links = [];
  for (const link of document.links) {
    if (typeof link.href === 'string') links.push(link.href);
  }
  let picture = null;
  if (pictureAddress) {
    for (const image of document.images) {
      if (image.currentSrc === pictureAddress || image.src === pictureAddress) {
        picture = { tagName: 'IMG', src: image.src, title: image.title,
                    width: image.width, height: image.height };
        break;
      }
    }
  }
  return { document: { url: location.href, title: document.title, links }, picture };
}
