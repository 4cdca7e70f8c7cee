// Shows what went wrong (the text after '#') and closes at the button.
document.getElementById('problem').textContent = decodeURIComponent(location.hash.slice(1));
document.getElementById('close').addEventListener('click', () => window.close());
